#include "cli/Options.h"

#include <QRegularExpression>

namespace globalstab::cli {

namespace {

const QList<OptionInfo>& globalOptions()
{
    static const QList<OptionInfo> options = {
        {QStringLiteral("--data-root"), QStringLiteral("DIR"),
         QStringLiteral("the folder holding Docs/ (or $GLOBALSTAB_DATA_ROOT)")},
        {QStringLiteral("--dry-run"), QString(),
         QStringLiteral("print the plan; write nothing, not even the journal")},
        {QStringLiteral("--json"), QString(),
         QStringLiteral("print one JSON object on stdout (format 1)")},
        {QStringLiteral("--help"), QString(), QStringLiteral("-h: this text")},
        {QStringLiteral("--version"), QString(), QStringLiteral("-V: the version")},
    };
    return options;
}

const OptionInfo* findOption(const QList<OptionInfo>& options, const QString& name)
{
    for (const OptionInfo& option : options)
        if (option.name == name)
            return &option;
    return nullptr;
}

QString optionLine(const OptionInfo& option)
{
    QString head = option.name;
    if (option.name == QLatin1String("--help"))
        head = QStringLiteral("-h, --help");
    else if (option.name == QLatin1String("--version"))
        head = QStringLiteral("-V, --version");
    else if (!option.valueName.isEmpty())
        head += QLatin1Char('=') + option.valueName;
    QString help = option.help;
    if (help.startsWith(QLatin1String("-h: ")) || help.startsWith(QLatin1String("-V: ")))
        help = help.mid(4);
    return QStringLiteral("  %1  %2").arg(head, -20).arg(help);
}

const QString StatusText =
    QStringLiteral("Exit status: 0 done; 1 refused, failed, an error reported, drift found or\n"
                   "nothing to undo; 2 usage (an unknown option or command, a bad value, no such\n"
                   "project, category, page, file or folder).\n");

// Paragraphs (separated by an empty line) wrapped at 78 columns.
QString wrapped(const QString& text)
{
    QStringList paragraphs;
    for (const QString& paragraph : text.split(QStringLiteral("\n\n"))) {
        QStringList lines{QString()};
        for (const QString& word : paragraph.simplified().split(QLatin1Char(' '))) {
            if (!lines.last().isEmpty() && lines.last().size() + 1 + word.size() > 78)
                lines << QString();
            lines.last() += (lines.last().isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        paragraphs << lines.join(QLatin1Char('\n'));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace

const QList<CommandInfo>& commands()
{
    static const QList<CommandInfo> list = {
        {QStringLiteral("check"),
         {QStringLiteral("check PROJECT [--repair]")},
         QStringLiteral("report where a project's documents disagree, or mend them"),
         QStringLiteral(
             "Reads the project's documents (the selection list, the table of contents, the\n"
             "category set, the books, the global book, the pages) and reports, one line each,\n"
             "where they disagree; a document that cannot be read is reported with its line\n"
             "and the parser's message, and nothing is inferred from it. Exit status 1 when\n"
             "anything is reported.\n\n"
             "With --repair it mends what the tab's own rules mend and lists every change; it\n"
             "refuses while a document of the project cannot be read. With --dry-run it lists\n"
             "the changes the repair would make and what it would leave."),
         {{QStringLiteral("--repair"), QString(),
           QStringLiteral("mend what the tab's rules can mend, listing each change")}},
         {QStringLiteral("globalstab --data-root=/srv/docs check \"Orion Suite 2024\""),
          QStringLiteral("globalstab --dry-run --json check \"Orion Suite 2024\" --repair")}},
        {QStringLiteral("rename-project"),
         {QStringLiteral("rename-project OLD NEW [--id=ID] [--rank=RANK] [--install-type=N]")},
         QStringLiteral("rename a project as the project panel does"),
         QStringLiteral(
             "Renames the project folder, replaces the project's entry in the selection list,\n"
             "writes the platform, variation and book keys into the table of contents and every\n"
             "book, and replaces the name token in the pages. It refuses what the project panel\n"
             "refuses, with the panel's messages. Without --id or --rank the project keeps the\n"
             "ID and rank its selection list entry gives it."),
         {{QStringLiteral("--id"), QStringLiteral("ID"), QStringLiteral("the project ID")},
          {QStringLiteral("--rank"), QStringLiteral("RANK"),
           QStringLiteral("a whole number from 1 to 32000")},
          {QStringLiteral("--install-type"), QStringLiteral("N"),
           QStringLiteral("the install type (1000 writes Pro=\"Yes\"; default 0)")}},
         {QStringLiteral(
             "globalstab rename-project \"Orion Suite 2024\" \"Orion Suite 2025\" --id=ORS25")}},
        {QStringLiteral("update-pages"),
         {QStringLiteral("update-pages PROJECT FOLDER PRODUCT [--type=0|1]")},
         QStringLiteral("replace **PRODUCT** by **PROJECT** in the pages below FOLDER"),
         QStringLiteral(
             "Replaces the token **PRODUCT** by **PROJECT** in every page file (.htm, .html)\n"
             "below FOLDER, a folder of the data root given relative to it, as the tab's\n"
             "PXUpdateFiles does; every page is written back as UTF-16. Type 1 also deletes the\n"
             "product's server archive (PXPRODUCT_Server.Zip) in FOLDER itself."),
         {{QStringLiteral("--type"), QStringLiteral("0|1"),
           QStringLiteral("1 also deletes the server archive (default 0)")}},
         {QStringLiteral(
             "globalstab update-pages Nova \"Docs/Orion Suite 2024\" \"Orion Suite 2024\"")}},
        {QStringLiteral("category"),
         {QStringLiteral("category PROJECT add NAME [--install-type=N]"),
          QStringLiteral("category PROJECT rename OLD NEW [--install-type=N]"),
          QStringLiteral("category PROJECT delete NAME [--install-type=N]"),
          QStringLiteral("category PROJECT move NAME up|down")},
         QStringLiteral("add, rename, delete or move a category"),
         QStringLiteral(
             "Changes the project's categories across the category set, the table of contents\n"
             "and the books, as the category panel does, and prints the categories after the\n"
             "change. NAME and OLD are spelt as the category set spells them, letter case\n"
             "included. It refuses what the panel refuses, with the panel's messages, and a\n"
             "project whose category set or table of contents cannot be read."),
         {{QStringLiteral("--install-type"), QStringLiteral("N"),
           QStringLiteral("whose default categories apply (default 0)")}},
         {QStringLiteral("globalstab category \"Orion Suite 2024\" add Security"),
          QStringLiteral(
              "globalstab --dry-run category \"Orion Suite 2024\" move Licensing down")}},
        {QStringLiteral("page"),
         {QStringLiteral("page PROJECT add NAME FILE"),
          QStringLiteral("page PROJECT edit OLD NEW FILE"),
          QStringLiteral("page PROJECT delete NAME")},
         QStringLiteral("add, edit or delete a global page"),
         QStringLiteral(
             "Adds a global page linked to FILE, which must be a file and is copied into the\n"
             "project's \"_Global Information\" folder; edits a page (FILE may then be the\n"
             "page's stored document name, which keeps its document); deletes a page (its\n"
             "document stays). Prints the global pages after the change. It refuses what the\n"
             "panel refuses, with the panel's messages, before anything is copied."),
         {},
         {QStringLiteral("globalstab page \"Orion Suite 2024\" add \"Read Me\" ./readme.htm"),
          QStringLiteral("globalstab page \"Orion Suite 2024\" delete \"Read Me\"")}},
        {QStringLiteral("undo"),
         {QStringLiteral("undo")},
         QStringLiteral("put back the last change of the data root"),
         QStringLiteral(
             "Puts back the last change of the data root, unless one of its files changed\n"
             "since. Exit status 1 when there is nothing to undo."),
         {},
         {QStringLiteral("globalstab --dry-run undo"), QStringLiteral("globalstab undo")}},
        {QStringLiteral("recover"),
         {QStringLiteral("recover")},
         QStringLiteral("put back what an interrupted action left"),
         QStringLiteral(
             "Puts back what an action cut off before its end (a crash, a kill, a power cut)\n"
             "left in the data root, as every run that writes does first. Files changed since\n"
             "are kept and named; a journal log that cannot be read whole is set aside."),
         {},
         {QStringLiteral("globalstab --dry-run recover")}},
    };
    return list;
}

const CommandInfo* findCommand(const QString& name)
{
    for (const CommandInfo& command : commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

void parseArguments(const QStringList& arguments, Invocation& into)
{
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        into.json = into.json || argument == QLatin1String("--json");
    }
    const CommandInfo* command = nullptr;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool option =
            !optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1;
        if (!option) {
            if (command) {
                into.arguments << argument;
                continue;
            }
            command = findCommand(argument);
            if (!command)
                throw UsageError(QStringLiteral("unknown command \"%1\"").arg(argument));
            into.command = argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("-h")) {
            into.help = true;
            continue;
        }
        if (argument == QLatin1String("-V")) {
            into.version = true;
            continue;
        }
        if (!argument.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("unknown option \"%1\"").arg(argument));
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        const OptionInfo* known = findOption(globalOptions(), name);
        if (!known && command)
            known = findOption(command->options, name);
        if (!known) {
            throw UsageError(
                command ? QStringLiteral("unknown option \"%1\" for %2").arg(name, command->name)
                        : QStringLiteral("unknown option \"%1\" (the options of a "
                                         "command come after it)")
                              .arg(name));
        }
        QString value;
        if (known->valueName.isEmpty()) {
            if (equals >= 0)
                throw UsageError(QStringLiteral("%1 takes no value").arg(name));
        } else if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments.at(++i);
        } else {
            throw UsageError(
                QStringLiteral("%1 needs a value (%1=%2)").arg(name, known->valueName));
        }
        if (name == QLatin1String("--help"))
            into.help = true;
        else if (name == QLatin1String("--version"))
            into.version = true;
        else if (name == QLatin1String("--json"))
            into.json = true;
        else if (name == QLatin1String("--dry-run"))
            into.dryRun = true;
        else if (name == QLatin1String("--data-root"))
            into.dataRoot = value;
        else
            into.values.insert(name, value);
    }
}

QString usageText()
{
    QString text = QStringLiteral(
        "usage: globalstab [--data-root=DIR] [--dry-run] [--json] COMMAND [ARGUMENTS]\n\n"
        "Changes a documentation data root as the Globals tab does, for scripts and build\n"
        "pipelines. Every run but a dry run first puts back what an interrupted action\n"
        "left.\n\n"
        "Commands:\n");
    for (const CommandInfo& command : commands())
        text += QStringLiteral("  %1  %2\n").arg(command.name, -15).arg(command.summary);
    text += QStringLiteral("\nOptions:\n");
    for (const OptionInfo& option : globalOptions())
        text += optionLine(option) + QLatin1Char('\n');
    text += QStringLiteral("  %1  %2\n")
                .arg(QStringLiteral("--"), -20)
                .arg(QStringLiteral("end of options: what follows are arguments"));
    text += QLatin1Char('\n') + StatusText +
            QStringLiteral("\nglobalstab COMMAND --help tells more of one command; see also "
                           "globalstab(1).\n");
    return text;
}

QString commandHelp(const CommandInfo& command)
{
    QString text;
    for (qsizetype i = 0; i < command.synopsis.size(); ++i)
        text += (i == 0 ? QStringLiteral("usage: ") : QStringLiteral("   or: ")) +
                QStringLiteral("globalstab [options] ") + command.synopsis.at(i) +
                QLatin1Char('\n');
    text += QLatin1Char('\n') + wrapped(command.description) + QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n");
    for (const OptionInfo& option : command.options)
        text += optionLine(option) + QLatin1Char('\n');
    for (const OptionInfo& option : globalOptions())
        text += optionLine(option) + QLatin1Char('\n');
    text += QStringLiteral("\nExample%1:\n").arg(command.examples.size() > 1 ? "s" : "");
    for (const QString& example : command.examples)
        text += QStringLiteral("  ") + example + QLatin1Char('\n');
    text += QLatin1Char('\n') + StatusText;
    return text;
}

int wholeNumber(const QString& option, const QString& value)
{
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    bool ok = digits.match(value).hasMatch();
    const int number = ok ? value.toInt(&ok) : 0;
    if (!ok)
        throw UsageError(QStringLiteral("%1 takes a whole number, not \"%2\"").arg(option, value));
    return number;
}

} // namespace globalstab::cli
