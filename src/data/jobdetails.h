#pragma once

#include <array>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// What belongs to a whole inspection job rather than to one item: who measured what, where, with
// which gauge. Every field is optional plain text; the logo is an image file's bytes.
class JobDetails
{
    Q_DECLARE_TR_FUNCTIONS(JobDetails)

public:
    // In the order the dialog and the report show them.
    enum Field {
        Company,
        Client,
        Project,
        Site,
        Structure,
        CoatingSystem,
        Procedure,
        Inspector,
        Qualification,
        GaugeModel,
        GaugeSerial,
        ProbeSerial,
        CalibrationDate,
        CalibrationCertificate,
        Verification,
        Ambient,
        Notes,
        FieldCount
    };

    // The name a field is stored under; never changes once a workspace holds it.
    static QString key(Field field);
    static QString label(Field field);
    // Fields of free text that may run over several lines.
    static bool isMultiLine(Field field);

    QString value(Field field) const { return m_values.at(field); }
    void setValue(Field field, const QString &value) { m_values.at(field) = value; }
    // A PNG or JPEG file's bytes, or empty for no logo.
    QByteArray logo() const { return m_logo; }
    void setLogo(const QByteArray &bytes) { m_logo = bytes; }

    bool isEmpty() const;
    bool operator==(const JobDetails &other) const;
    bool operator!=(const JobDetails &other) const { return !(*this == other); }

private:
    std::array<QString, FieldCount> m_values;
    QByteArray m_logo;
};
