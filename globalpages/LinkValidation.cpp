#include "control/ctlGlobalsTab.h"

#include <QLineEdit>

#include <algorithm>

namespace globalstab {

namespace {
// Counted on the name as typed, blanks included.
constexpr int MaxPageNameLength = 100;

// Looked for anywhere in the upper-cased path, not only at its end.
bool hasAcceptedType(const QString& upperSource)
{
    static const QLatin1String types[] = {
        QLatin1String(".TXT"), QLatin1String(".DOC"), QLatin1String(".HTML"), QLatin1String(".HTM"),
        QLatin1String(".XML"), QLatin1String(".XLS"), QLatin1String(".PDF")};
    return std::any_of(std::begin(types), std::end(types),
                       [&](QLatin1String type) { return upperSource.contains(type); });
}
} // namespace

bool ctlGlobalsTab::bValidateInputDynamicOptions()
{
    bool result = false;
    Trap("bValidateInputDynamicOptions", [&] {
        const QString name = txtPageName->text();
        if (!bcheckCharacters(name, QStringLiteral(" Name")))
            return;
        const auto refuseName = [&](int stringId) {
            MsgBox(GetResString(stringId), MessageButtons::Ok, MessageIcon::Information);
            txtPageName->setFocus();
        };
        if (name.trimmed().isEmpty() || isNumeric(name)) {
            refuseName(126);
            return;
        }
        if (name.length() > MaxPageNameLength) {
            refuseName(131);
            return;
        }

        // The source is not trimmed here: a blank-only path is caught by the type test.
        const QString source = txtSourceTo->text();
        const auto refuseSource = [&](int stringId) {
            MsgBox(GetResString(stringId), MessageButtons::Ok, MessageIcon::Information);
        };
        if (source.isEmpty()) {
            refuseSource(127);
            return;
        }
        const QString upper = source.toUpper();
        if (!hasAcceptedType(upper)) {
            refuseSource(128);
            return;
        }
        // The project's own book must never be linked (and so copied over itself).
        if (upper.contains(QLatin1String("BOOK_GLOBAL.XML"))) {
            refuseSource(129);
            return;
        }
        result = true;
    });
    return result;
}

} // namespace globalstab
