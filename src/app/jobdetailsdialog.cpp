#include "jobdetailsdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "picturechooser.h"

namespace {

// The preview shows the logo about as large as a report's corner holds it.
const QSize PreviewSize(240, 90);

} // namespace

JobDetailsDialog::JobDetailsDialog(const JobDetails &details, RecentFolders *folders,
                                   QWidget *parent)
    : QDialog(parent)
    , m_folders(folders)
    , m_logo(details.logo())
    , m_preview(new QLabel(this))
    , m_remove(new QPushButton(tr("Remove"), this))
{
    setWindowTitle(tr("Job details"));

    // The one-line fields on the left, the logo and the free texts on the right: the form stays
    // within a small screen's height, and reads in the fields' order.
    auto *left = new QFormLayout;
    auto *right = new QFormLayout;
    for (int field = 0; field < JobDetails::FieldCount; ++field) {
        const auto f = static_cast<JobDetails::Field>(field);
        m_edits.at(f) = makeEdit(f, details.value(f));
        (JobDetails::isMultiLine(f) ? right : left)
            ->addRow(tr("%1:").arg(JobDetails::label(f)), m_edits.at(f));
    }

    m_preview->setObjectName(QStringLiteral("logoPreview"));
    m_preview->setFixedSize(PreviewSize);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameShape(QFrame::StyledPanel);
    auto *choose = new QPushButton(tr("Choose..."), this);
    choose->setObjectName(QStringLiteral("chooseLogo"));
    m_remove->setObjectName(QStringLiteral("removeLogo"));
    connect(choose, &QPushButton::clicked, this, &JobDetailsDialog::chooseLogo);
    connect(m_remove, &QPushButton::clicked, this, &JobDetailsDialog::removeLogo);
    auto *logoButtons = new QVBoxLayout;
    logoButtons->addWidget(choose);
    logoButtons->addWidget(m_remove);
    logoButtons->addStretch();
    auto *logoBox = new QGroupBox(tr("Company logo"), this);
    auto *logoLayout = new QHBoxLayout(logoBox);
    logoLayout->addWidget(m_preview, 0, Qt::AlignTop);
    logoLayout->addLayout(logoButtons);

    auto *rightColumn = new QVBoxLayout;
    rightColumn->addWidget(logoBox);
    rightColumn->addLayout(right);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addSpacing(12);
    columns->addLayout(rightColumn, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    showLogo();
}

QWidget *JobDetailsDialog::makeEdit(JobDetails::Field field, const QString &value)
{
    QWidget *edit = nullptr;
    if (JobDetails::isMultiLine(field)) {
        auto *lines = new QPlainTextEdit(value, this);
        // Tab moves on to the next field rather than into the text.
        lines->setTabChangesFocus(true);
        lines->setFixedHeight(lines->fontMetrics().lineSpacing() * 4 + 12);
        edit = lines;
    } else {
        edit = new QLineEdit(value, this);
    }
    edit->setObjectName(JobDetails::key(field));
    return edit;
}

QString JobDetailsDialog::text(JobDetails::Field field) const
{
    const QWidget *edit = m_edits.at(field);
    if (const auto *lines = qobject_cast<const QPlainTextEdit *>(edit))
        return lines->toPlainText().trimmed();
    return static_cast<const QLineEdit *>(edit)->text().trimmed();
}

JobDetails JobDetailsDialog::details() const
{
    JobDetails details;
    for (int field = 0; field < JobDetails::FieldCount; ++field)
        details.setValue(static_cast<JobDetails::Field>(field),
                         text(static_cast<JobDetails::Field>(field)));
    details.setLogo(m_logo);
    return details;
}

void JobDetailsDialog::chooseLogo()
{
    const ItemPhoto logo =
        PictureChooser::choose(this, tr("Company logo"), PictureFile::Logo, m_folders);
    if (logo.bytes.isEmpty())
        return;
    m_logo = logo.bytes;
    showLogo();
}

void JobDetailsDialog::removeLogo()
{
    m_logo.clear();
    showLogo();
}

void JobDetailsDialog::showLogo()
{
    const QImage image = QImage::fromData(m_logo);
    m_remove->setEnabled(!m_logo.isEmpty());
    if (image.isNull()) {
        m_preview->setPixmap(QPixmap());
        m_preview->setText(tr("No logo"));
        return;
    }
    const QSize room = PreviewSize - QSize(8, 8);
    m_preview->setPixmap(QPixmap::fromImage(
        image.size().boundedTo(room) == image.size()
            ? image
            : image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}
