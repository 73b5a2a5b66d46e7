#include <memory>
#include <vector>

#include <QAbstractItemModelTester>
#include <QColor>
#include <QFont>
#include <QSignalSpy>
#include <QStandardItem>
#include <QtTest>

#include "itemdata.h"
#include "tvitemmodel.h"

// The tree as the main window builds it: "Store Data", "Live Data" and measurement items below
// "Live Data". The test owns the items, as the window does.
class TestTvItemModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void displayShowsTheItemName();
    void activeRowIsBoldAndColoured_data();
    void activeRowIsBoldAndColoured();
    void editDataChanged_data();
    void editDataChanged();
    void itemAt();

private:
    QStandardItem *addRow(QStandardItem *parent, const QString &name, ItemData::DataType type);

    std::unique_ptr<TvItemModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::vector<std::unique_ptr<ItemData>> m_items;
    QStandardItem *m_liveRow = nullptr;
};

QStandardItem *TestTvItemModel::addRow(QStandardItem *parent, const QString &name,
                                       ItemData::DataType type)
{
    m_items.push_back(std::make_unique<ItemData>(name, type));
    auto *row = new QStandardItem(name);
    row->setData(QVariant::fromValue<ItemData *>(m_items.back().get()), TvItemModel::ItemDataRole);
    if (parent)
        parent->appendRow(row);
    else
        m_model->appendRow(row);
    return row;
}

void TestTvItemModel::init()
{
    m_model = std::make_unique<TvItemModel>();
    m_model->setHorizontalHeaderLabels({QStringLiteral("Name")});
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    addRow(nullptr, QStringLiteral("Store Data"), ItemData::StoreData);
    m_liveRow = addRow(nullptr, QStringLiteral("Live Data"), ItemData::LiveData);
    addRow(m_liveRow, QStringLiteral("Measure1"), ItemData::MeasureData);
}

void TestTvItemModel::cleanup()
{
    m_tester.reset();
    m_model.reset();
    m_items.clear();
}

void TestTvItemModel::displayShowsTheItemName()
{
    const QModelIndex measure = m_model->index(0, 0, m_liveRow->index());
    QCOMPARE(measure.data().toString(), QStringLiteral("Measure1"));

    QSignalSpy dataChanged(m_model.get(), &QAbstractItemModel::dataChanged);
    TvItemModel::itemAt(measure)->setName(QStringLiteral("Coating A"));
    QCOMPARE(measure.data().toString(), QStringLiteral("Coating A"));
    QCOMPARE(m_liveRow->child(0)->text(), QStringLiteral("Measure1"));
    QCOMPARE(dataChanged.count(), 0);

    auto *bare = new QStandardItem(QStringLiteral("stored text"));
    m_liveRow->appendRow(bare);
    QCOMPARE(bare->index().data(Qt::DisplayRole), QVariant(QString()));
}

void TestTvItemModel::activeRowIsBoldAndColoured_data()
{
    QTest::addColumn<QVariant>("active");
    QTest::addColumn<int>("weight");
    QTest::addColumn<QVariant>("foreground");

    QTest::newRow("active") << QVariant(true) << int(QFont::Bold)
                            << QVariant(QColor(QStringLiteral("#d57d00")));
    QTest::newRow("inactive") << QVariant(false) << int(QFont::Normal) << QVariant();
    QTest::newRow("never set") << QVariant() << int(QFont::Normal) << QVariant();
}

void TestTvItemModel::activeRowIsBoldAndColoured()
{
    QFETCH(QVariant, active);
    QFETCH(int, weight);
    QFETCH(QVariant, foreground);

    const QModelIndex measure = m_model->index(0, 0, m_liveRow->index());
    if (active.isValid())
        QVERIFY(m_model->setData(measure, active, TvItemModel::ActiveRole));
    QCOMPARE(measure.data(Qt::FontRole).value<QFont>().weight(), weight);
    QCOMPARE(measure.data(Qt::ForegroundRole), foreground);

    // Other rows are untouched by one row's flag.
    const QModelIndex store = m_model->index(0, 0);
    QCOMPARE(store.data(Qt::FontRole).value<QFont>().weight(), int(QFont::Normal));
    QVERIFY(!store.data(Qt::ForegroundRole).isValid());

    // A font stored on the row keeps its other attributes; only the weight follows the flag.
    QFont italic;
    italic.setItalic(true);
    italic.setWeight(QFont::Black);
    m_liveRow->child(0)->setFont(italic);
    const QFont shown = measure.data(Qt::FontRole).value<QFont>();
    QVERIFY(shown.italic());
    QCOMPARE(shown.weight(), weight);
}

void TestTvItemModel::editDataChanged_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("emitted");

    QTest::newRow("edit, same name") << int(Qt::EditRole) << QVariant("Measure1") << 0;
    QTest::newRow("edit, new name") << int(Qt::EditRole) << QVariant("Coating A") << 1;
    QTest::newRow("display, new name") << int(Qt::DisplayRole) << QVariant("Coating A") << 0;
    QTest::newRow("tooltip, new text") << int(Qt::ToolTipRole) << QVariant("Coating A") << 0;
    QTest::newRow("active flag") << int(TvItemModel::ActiveRole) << QVariant(true) << 0;
}

void TestTvItemModel::editDataChanged()
{
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(int, emitted);

    const QModelIndex measure = m_model->index(0, 0, m_liveRow->index());
    QStandardItem *row = m_liveRow->child(0);
    QVariant storedWhenSignalled;
    QObject context;
    connect(m_model.get(), &TvItemModel::editDataChanged, &context,
            [&](const QModelIndex &) { storedWhenSignalled = row->data(role); });
    QSignalSpy spy(m_model.get(), &TvItemModel::editDataChanged);

    QVERIFY(m_model->setData(measure, value, role));
    QCOMPARE(row->data(role), value);
    QCOMPARE(spy.count(), emitted);
    if (emitted) {
        QCOMPARE(spy.at(0).at(0).toModelIndex(), measure);
        QCOMPARE(storedWhenSignalled, value);
    }
    QVERIFY(!m_model->setData(QModelIndex(), value, role));
    QCOMPARE(spy.count(), emitted);
}

void TestTvItemModel::itemAt()
{
    QCOMPARE(TvItemModel::itemAt(QModelIndex()), nullptr);
    QCOMPARE(TvItemModel::itemAt(m_model->index(0, 0)), m_items.at(0).get());
    QCOMPARE(TvItemModel::itemAt(m_model->index(0, 0, m_liveRow->index())), m_items.at(2).get());
    m_model->appendRow(new QStandardItem(QStringLiteral("no item")));
    QCOMPARE(TvItemModel::itemAt(m_model->index(2, 0)), nullptr);
}

QTEST_MAIN(TestTvItemModel)
#include "tst_tvitemmodel.moc"
