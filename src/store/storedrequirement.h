#pragma once

#include <QString>

#include "coatingrequirement.h"

// An item's coating requirement as the workspace keeps it: one text of key=value pairs joined by
// ';', every key once, for example "rule=limits;unit=μm;hasNominal=0;nominal=0;minimum=80;...".
// An empty text is no requirement. Keys: rule (limits, iso19840, sspcpa2), unit (μm, mil),
// hasNominal and hasMaximum (0 or 1), nominal, minimum, maximum, roughness, readingsPerSpot,
// spotsPerArea, spotLowerPercent, spotUpperPercent. Numbers are written in full precision with a
// '.' decimal point so that a requirement reads back exactly as it was.
class StoredRequirement
{
public:
    static QString toText(const CoatingRequirement &requirement);
    // The text comes from a file anyone may have edited: an unknown rule or key, a number that does
    // not read, or a requirement its own checks reject gives no requirement.
    static CoatingRequirement fromText(const QString &text);
};
