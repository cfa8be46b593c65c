#include "host/UnattendedDialogs.h"

#include <QTextStream>

namespace globalstab::host {

void UnattendedDialogs::report(const QString& line)
{
    m_shown << line;
    QTextStream(stderr) << "globalstab-host: " << line << '\n';
}

MessageAnswer UnattendedDialogs::messageBox(QWidget*, const QString& text, const QString& title,
                                            MessageIcon, MessageButtons buttons)
{
    // The tab's texts break lines with "\r".
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), '\n');
    body.replace(QLatin1Char('\n'), QStringLiteral("\n  "));
    const bool question = buttons == MessageButtons::YesNo;
    report((title.isEmpty() ? QStringLiteral("the tab says") : title) + QStringLiteral(": ") +
           body + (question ? QStringLiteral(" (answered No)") : QString()));
    return question ? MessageAnswer::No : MessageAnswer::Ok;
}

QString UnattendedDialogs::getOpenFileName(QWidget*, const QString& title, const QString&)
{
    report(QStringLiteral("%1: no file chosen, nobody is there to choose one").arg(title));
    return QString();
}

} // namespace globalstab::host
