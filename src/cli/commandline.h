#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include "dataimporter.h"

class ItemData;
class ItemStore;
class Workspace;

// The logger without its window, for scripts: lists the items of a workspace, exports them, writes
// the job's inspection report, or imports a file as a new item, with the classes the window uses.
// What it reports goes to standard output, what went wrong to standard error, and the exit status
// says how it ended. A workspace is only read, except by an import, which is refused while
// another logger has the workspace open.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
    Q_DISABLE_COPY(CommandLine)

public:
    enum Status {
        Done = 0,
        UsageError = 1,
        WorkspaceUnreadable = 2,
        WorkspaceNotWritable = 3,
        NoSuchItem = 4,
        ImportFailed = 5,
        NotWritten = 6
    };

    // Whether the arguments ask for the command line rather than the window: any argument that
    // begins with "--", or -h, -? or -v. Qt's own window options take a single dash.
    static bool wanted(int argc, char *argv[]);
    // Runs the command line on a platform that needs no display and returns the exit status.
    static int run(int argc, char *argv[]);

    CommandLine(QTextStream *out, QTextStream *err);

    // arguments as QCoreApplication::arguments() gives them, the program first.
    int exec(const QStringList &arguments);

private:
    // Checks the options before anything is opened; Done when they make sense together.
    int checkOptions();
    int usage(const QString &text);
    int fail(Status status, const QString &text);
    int open(Workspace *workspace, ItemStore *items, bool forWriting);
    int list(Workspace *workspace, const ItemStore &items);
    int exportItems(Workspace *workspace, const ItemStore &items);
    int writeExport(const QString &fileName, const QList<ItemData *> &items);
    int report(Workspace *workspace, const ItemStore &items);
    int import(Workspace *workspace, ItemStore *items);
    // The one place where the file's suffix picks its reader. The items and their readings are
    // new and the caller's; an .xls workbook gives one item without a name, and one that stops
    // at a bad row keeps the readings before it, as the window does. An .xlsx or CSV file gives
    // all its items or none; notes tells what was left out of it.
    int readImport(const QString &fileName, QList<DataImporter::Item> *imported,
                   QStringList *notes);
    // The items named, in that order, with their readings in memory.
    int find(Workspace *workspace, const ItemStore &items, const QStringList &names,
             QList<ItemData *> *found);
    // Every item in tree order, Store Data only when it holds readings, with their readings in
    // memory.
    int everyItem(Workspace *workspace, const ItemStore &items, QList<ItemData *> *found);
    int loadReadings(Workspace *workspace, const QList<ItemData *> &items);
    bool exportsAll() const;

    QTextStream *m_out;
    QTextStream *m_err;
    QCommandLineParser m_parser;
    QCommandLineOption m_workspace;
    QCommandLineOption m_list;
    QCommandLineOption m_export;
    QCommandLineOption m_all;
    QCommandLineOption m_to;
    QCommandLineOption m_report;
    QCommandLineOption m_items;
    QCommandLineOption m_import;
};
