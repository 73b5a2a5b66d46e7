#pragma once

#include <QString>

#include "coatingrequirement.h"

// An item's coating requirement as the workspace keeps it: one text of key=value pairs joined by
// ';', every key once, for example "rule=limits;unit=μm;hasNominal=0;nominal=0;minimum=80;...".
// An empty text is no requirement. After rule (the rule's key: limits, iso19840, sspcpa2,
// imopspc) and unit (μm, mil) come the fields of every registered rule, each key once in the
// order the rules declare them: nominal, minimum, maximum, roughness, readingsPerSpot,
// spotsPerArea, spotLowerPercent, spotUpperPercent. A field that some rule may leave empty is
// preceded by its flag (hasNominal, hasMaximum: 0 or 1). A field the rule does not have holds its
// initial value, so that every text has every key. Numbers are written in full precision with a
// '.' decimal point so that a requirement reads back exactly as it was.
class StoredRequirement
{
public:
    static QString toText(const CoatingRequirement &requirement);
    // The text comes from a file anyone may have edited: an unknown rule or key, a missing key of
    // the rule's own fields, a number that does not read, or a requirement its own checks reject
    // gives no requirement. Keys of other rules' fields are read, checked and left aside.
    static CoatingRequirement fromText(const QString &text);
};
