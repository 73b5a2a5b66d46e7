#pragma once

#include <array>

#include <QByteArray>
#include <QDialog>

#include "jobdetails.h"

class QLabel;
class QPushButton;
class QWidget;
class RecentFolders;

// Edits the details of the job: a row per field, several lines for the free texts, and the
// company logo with a preview. The caller stores details() after exec().
class JobDetailsDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(JobDetailsDialog)

public:
    JobDetailsDialog(const JobDetails &details, RecentFolders *folders, QWidget *parent = nullptr);

    // The fields as entered, without blanks around them.
    JobDetails details() const;

private slots:
    void chooseLogo();
    void removeLogo();

private:
    QWidget *makeEdit(JobDetails::Field field, const QString &value);
    QString text(JobDetails::Field field) const;
    void showLogo();

    RecentFolders *m_folders;
    // A QLineEdit or, for a multi-line field, a QPlainTextEdit; named after the field's key.
    std::array<QWidget *, JobDetails::FieldCount> m_edits{};
    QByteArray m_logo;
    QLabel *m_preview;
    QPushButton *m_remove;
};
