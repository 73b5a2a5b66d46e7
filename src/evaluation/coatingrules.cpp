#include "coatingrules.h"

#include "imopspcrule.h"
#include "iso19840rule.h"
#include "limitsrule.h"
#include "sspcpa2rule.h"

const QVector<const CoatingRule *> &CoatingRules::all()
{
    static const std::unique_ptr<const CoatingRule> registered[] = {
        std::make_unique<LimitsRule>(),
        std::make_unique<Iso19840Rule>(),
        std::make_unique<SspcPa2Rule>(),
        std::make_unique<ImoPspcRule>(),
    };
    static const QVector<const CoatingRule *> rules = [] {
        QVector<const CoatingRule *> list;
        for (const auto &rule : registered)
            list.append(rule.get());
        return list;
    }();
    return rules;
}

std::unique_ptr<CoatingRule> CoatingRules::create(const QString &key)
{
    const int index = indexOf(key);
    return index < 0 ? nullptr : all().at(index)->clone();
}

int CoatingRules::indexOf(const QString &key)
{
    for (int i = 0; i < all().size(); ++i) {
        if (all().at(i)->key() == key)
            return i;
    }
    return -1;
}
