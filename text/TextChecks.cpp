#include "control/ctlGlobalsTab.h"

#include <QListWidget>

namespace globalstab {

namespace {
const QString Token = QStringLiteral("@px@");
const QString Quote = QStringLiteral("\"");
} // namespace

bool ctlGlobalsTab::bcheckCharacters(const QString& strText, const QString& strLabel)
{
    bool result = false;
    Trap("bcheckCharacters", [&] {
        const QString canNotBeUsed = GetResString(130);
        // "&quote;" (not "&quot;") is the entity refused here: authors may write "&quot;".
        static const QStringList entities = {Token,
                                             QStringLiteral("&amp;"),
                                             QStringLiteral("&lt;"),
                                             QStringLiteral("&gt;"),
                                             QStringLiteral("&quote;"),
                                             QStringLiteral("&apos;")};
        for (const QString& entity : entities) {
            if (!strText.contains(entity))
                continue;
            if (entity == Token)
                MsgBox(Token + canNotBeUsed + strLabel, MessageButtons::Ok, MessageIcon::Critical);
            else
                MsgBox(entity + QStringLiteral(" ") + canNotBeUsed + strLabel, MessageButtons::Ok,
                       MessageIcon::Information);
            return;
        }
        result = true;
    });
    return result;
}

QString ctlGlobalsTab::strCheckXMLCharacters(const QString& strText, const QString& strLabel)
{
    QString result;
    Trap("strCheckXMLCharacters", [&] {
        const QString foundIn = GetResString(139);
        result = strText;
        struct Refused
        {
            QString text;
            QString closing;
        };
        static const Refused refused[] = {
            {QStringLiteral("&"), QStringLiteral(") ")},
            {QStringLiteral("'"), QStringLiteral(") ")},
            {Quote, QStringLiteral(") ")},
            {QStringLiteral("?"), QStringLiteral(") ")},
            {QStringLiteral("/"), QStringLiteral(")")},
            {QStringLiteral("\\"), QStringLiteral(") ")},
            {QStringLiteral(":"), QStringLiteral(") ")},
            {QStringLiteral("*"), QStringLiteral(") ")},
            {QStringLiteral("<"), QStringLiteral(") ")},
            {QStringLiteral(">"), QStringLiteral(") ")},
            {QStringLiteral("|"), QStringLiteral(") ")},
            {Token, QStringLiteral(")")},
        };
        // Every entry is tested, so the author learns of all refused characters at once.
        for (const Refused& entry : refused) {
            if (!strText.contains(entry.text))
                continue;
            const QString invalid = GetResString(141);
            MsgBox(invalid + QStringLiteral("(") + entry.text + entry.closing +
                       QStringLiteral(" ") + foundIn + QStringLiteral(" ") + strLabel,
                   MessageButtons::Ok, MessageIcon::Critical);
            result.clear();
        }
    });
    return result;
}

QString ctlGlobalsTab::mstrCheckSpecialCharacters(const QString& vstrCurWord)
{
    QString result;
    Trap("mstrCheckSpecialCharacters", [&] {
        // "&" goes before the entities are produced, so they are not escaped twice; "?"
        // becomes a quote and then "&quot;".
        static const std::pair<QString, QString> steps[] = {
            {Token, QStringLiteral(" ")},
            {QStringLiteral("?"), Quote},
            {QStringLiteral("&"), QStringLiteral("&amp;")},
            {QStringLiteral("<"), QStringLiteral("&lt;")},
            {QStringLiteral(">"), QStringLiteral("&gt;")},
            {Quote, QStringLiteral("&quot;")},
            {QStringLiteral("'"), QStringLiteral("&apos;")},
        };
        QString word = vstrCurWord;
        for (const auto& [find, replacement] : steps)
            word.replace(find, replacement, Qt::CaseSensitive);
        result = word;
    });
    return result;
}

bool ctlGlobalsTab::bCheckElement(const QString& strItem, QListWidget* lstList)
{
    bool result = false;
    Trap(
        "bCheckElement",
        [&] {
            if (!lstList)
                raiseError(rt::ObjectNotSet, QStringLiteral("Object variable not set: no list"));
            const QString wanted = strItem.toUpper();
            for (int i = 0; i < lstList->count(); ++i) {
                if (lstList->item(i)->text().toUpper() == wanted)
                    return;
            }
            result = true;
        },
        ErrorForm::UserControl);
    return result;
}

} // namespace globalstab
