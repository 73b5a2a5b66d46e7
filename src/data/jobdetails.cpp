#include "jobdetails.h"

#include <algorithm>

QString JobDetails::key(Field field)
{
    static const char *const keys[FieldCount] = {"company",
                                                 "client",
                                                 "project",
                                                 "site",
                                                 "structure",
                                                 "coating",
                                                 "procedure",
                                                 "inspector",
                                                 "qualification",
                                                 "gaugeModel",
                                                 "gaugeSerial",
                                                 "probeSerial",
                                                 "calibrationDate",
                                                 "calibrationCertificate",
                                                 "verification",
                                                 "ambient",
                                                 "notes"};
    return QLatin1String(keys[field]);
}

QString JobDetails::label(Field field)
{
    switch (field) {
    case Company:
        return tr("Company");
    case Client:
        return tr("Client");
    case Project:
        return tr("Project / job number");
    case Site:
        return tr("Site");
    case Structure:
        return tr("Structure or part");
    case CoatingSystem:
        return tr("Coating system / product");
    case Procedure:
        return tr("Inspection standard or procedure");
    case Inspector:
        return tr("Inspector");
    case Qualification:
        return tr("Qualification");
    case GaugeModel:
        return tr("Gauge model");
    case GaugeSerial:
        return tr("Gauge serial number");
    case ProbeSerial:
        return tr("Probe serial number");
    case CalibrationDate:
        return tr("Calibration date");
    case CalibrationCertificate:
        return tr("Calibration certificate");
    case Verification:
        return tr("Verification before use");
    case Ambient:
        return tr("Ambient conditions");
    case Notes:
        return tr("Notes");
    case FieldCount:
        break;
    }
    return QString();
}

bool JobDetails::isMultiLine(Field field)
{
    return field == Verification || field == Ambient || field == Notes;
}

bool JobDetails::isEmpty() const
{
    return m_logo.isEmpty() && std::all_of(m_values.begin(), m_values.end(),
                                           [](const QString &value) { return value.isEmpty(); });
}

bool JobDetails::operator==(const JobDetails &other) const
{
    return m_values == other.m_values && m_logo == other.m_logo;
}
