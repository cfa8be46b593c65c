#include "view/Dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>

namespace globalstab {

bool DialogProvider::progress(QWidget*, int, int)
{
    return false;
}

void DialogProvider::progressEnded(QWidget*) {}

QtDialogProvider::QtDialogProvider() = default;
QtDialogProvider::~QtDialogProvider() = default;

bool QtDialogProvider::progress(QWidget* parent, int done, int total)
{
    if (!m_progress) {
        m_progress = std::make_unique<QProgressDialog>(parent);
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(500);
        m_progress->setAutoReset(false);
        m_progress->setAutoClose(false);
        m_progressShownAt = 0;
    }
    // Drawing each of thousands of files would cost more than the files; a few dozen
    // updates a second keep the count moving and the window painted.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_progressShownAt >= 30 || done >= total) {
        m_progressShownAt = now;
        m_progress->setMaximum(total);
        m_progress->setLabelText(
            QApplication::translate("globalstab", "Updating files: %1 of %2").arg(done).arg(total));
        // A modal progress dialog handles the pending events here: painting, the Cancel button.
        m_progress->setValue(done);
    }
    return m_progress->wasCanceled();
}

void QtDialogProvider::progressEnded(QWidget*)
{
    m_progress.reset();
}

MessageAnswer QtDialogProvider::messageBox(QWidget* parent, const QString& text,
                                           const QString& title, MessageIcon icon,
                                           MessageButtons buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    // A carriage return alone does not break a line in a label.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

QString QtDialogProvider::toQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtDialogProvider::getOpenFileName(QWidget* parent, const QString& title,
                                          const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, m_startFolder, toQtFilter(filter));
}

} // namespace globalstab
