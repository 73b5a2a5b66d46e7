#pragma once

#include <memory>

#include <QString>
#include <QVector>

class CoatingRule;

// The rules a coat can be judged by, in the order the requirement dialog offers them. Adding a
// rule is a CoatingRule subclass and one line in coatingrules.cpp: the dialog, the workspace, the
// reports and the views then know it.
class CoatingRules
{
public:
    CoatingRules() = delete;

    // One of each rule with its initial values, for what the rules declare.
    static const QVector<const CoatingRule *> &all();
    // A new rule of that key with its initial values, in micrometres; nullptr for an unknown key.
    static std::unique_ptr<CoatingRule> create(const QString &key);
    // The place of the rule of that key in all(); -1 for an unknown key.
    static int indexOf(const QString &key);
};
