"""The JSON a run of globalstab prints, against its documented shape (format 1).

    python3 json_shape.py OUTPUT_FILE EXIT_STATUS DATA_ROOT

Exits 1 naming the first key or value out of shape.
"""
import json
import sys

MESSAGE_KINDS = {"usage", "refusal", "error", "message", "warning", "notice"}
ACTIONS = {"replace", "create", "delete", "create-folder", "delete-folder", "move-folder"}
FINDING_KINDS = {
    "category-unused", "category-unknown", "category-not-in-contents", "book-categories-differ",
    "book-document-missing", "global-document-missing", "selection-entry-missing",
    "selection-entry-twice", "project-folder-missing", "foreign-token",
    "uncategorised-not-filed", "document-unreadable", "book-key-differs",
    "contents-key-differs",
}


class Shape(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Shape(what)


def keys(obj, names, where):
    expect(isinstance(obj, dict), f"{where} is not an object")
    expect(set(obj) == set(names), f"{where} has keys {sorted(obj)}, not {sorted(names)}")


def text(value, where, nullable=False):
    expect(isinstance(value, str) or (nullable and value is None), f"{where} is not a string")


def number(value, where, nullable=False):
    expect((isinstance(value, int) and not isinstance(value, bool)) or
           (nullable and value is None), f"{where} is not a number")


def texts(value, where):
    expect(isinstance(value, list), f"{where} is not a list")
    for i, item in enumerate(value):
        text(item, f"{where}[{i}]")


def relative(value, where):
    text(value, where)
    expect(not value.startswith("/"), f"{where} is not relative to the data root: {value}")


def change(item, where):
    keys(item, ["action", "path", "from", "bytes_before", "bytes_after", "summary", "details"],
         where)
    expect(item["action"] in ACTIONS, f"{where}.action {item['action']!r}")
    relative(item["path"], f"{where}.path")
    if item["action"] == "move-folder":
        relative(item["from"], f"{where}.from")
    else:
        expect(item["from"] is None, f"{where}.from is set for {item['action']}")
    number(item["bytes_before"], f"{where}.bytes_before", True)
    number(item["bytes_after"], f"{where}.bytes_after", True)
    text(item["summary"], f"{where}.summary")
    texts(item["details"], f"{where}.details")


def changes(value, where):
    expect(isinstance(value, list), f"{where} is not a list")
    for i, item in enumerate(value):
        change(item, f"{where}[{i}]")


def finding(item, where):
    keys(item, ["kind", "file", "element", "text", "line", "problem", "description"], where)
    expect(item["kind"] in FINDING_KINDS, f"{where}.kind {item['kind']!r}")
    relative(item["file"], f"{where}.file")
    text(item["element"], f"{where}.element", True)
    text(item["text"], f"{where}.text")
    number(item["line"], f"{where}.line", True)
    text(item["problem"], f"{where}.problem", True)
    text(item["description"], f"{where}.description")
    if item["kind"] == "document-unreadable":
        text(item["problem"], f"{where}.problem")


def result(command, value, dry_run):
    if command == "check":
        keys(value, ["project", "consistent", "findings", "changes"], "result")
        text(value["project"], "result.project")
        expect(isinstance(value["consistent"], bool), "result.consistent")
        expect(isinstance(value["findings"], list), "result.findings")
        for i, item in enumerate(value["findings"]):
            finding(item, f"result.findings[{i}]")
        expect(value["consistent"] == (value["findings"] == []), "result.consistent disagrees")
        if value["changes"] is not None:
            changes(value["changes"], "result.changes")
    elif command == "rename-project":
        keys(value, ["project", "previous", "id", "rank"], "result")
        for key in ("project", "previous", "id"):
            text(value[key], f"result.{key}")
        number(value["rank"], "result.rank")
    elif command == "update-pages":
        written = ["pages_written", "files_deleted"]
        keys(value, ["folder", "product", "project", "type"] + ([] if dry_run else written),
             "result")
        relative(value["folder"], "result.folder")
        number(value["type"], "result.type")
        for key in ([] if dry_run else written):
            number(value[key], f"result.{key}")
    elif command == "category":
        keys(value, ["project", "categories"], "result")
        texts(value["categories"], "result.categories")
    elif command == "page":
        keys(value, ["project", "message", "pages"], "result")
        text(value["message"], "result.message", True)
        texts(value["pages"], "result.pages")
    elif command in ("undo", "recover"):
        keys(value, ["undone", "files", "kept", "set_aside"], "result")
        texts(value["undone"], "result.undone")
        number(value["files"], "result.files")
        texts(value["kept"], "result.kept")
        texts(value["set_aside"], "result.set_aside")
    else:
        raise Shape(f"a result for {command!r}")


def check(output, status, root):
    expect(root not in output, "a path is not relative to the data root")
    document = json.loads(output)
    keys(document, ["format", "command", "dry_run", "exit_status", "messages", "plan", "result"],
         "the object")
    expect(document["format"] == 1, "format is not 1")
    command = document["command"]
    text(command, "command", True)
    expect(isinstance(document["dry_run"], bool), "dry_run is not a boolean")
    expect(document["exit_status"] == status,
           f"exit_status {document['exit_status']} but the run exited {status}")
    expect(isinstance(document["messages"], list), "messages is not a list")
    for i, message in enumerate(document["messages"]):
        keys(message, ["kind", "text"], f"messages[{i}]")
        expect(message["kind"] in MESSAGE_KINDS, f"messages[{i}].kind {message['kind']!r}")
        text(message["text"], f"messages[{i}].text")
    kinds = {message["kind"] for message in document["messages"]}
    if status == 2:
        expect("usage" in kinds, "status 2 without a usage message")
        expect(document["result"] is None, "a result after a usage fault")
    if status == 1 and document["result"] is None:
        expect(kinds & {"refusal", "error", "message"}, "status 1 without a reason")
    if document["dry_run"] and status == 0:
        changes(document["plan"], "plan")
    elif document["plan"] is not None:
        changes(document["plan"], "plan")
    if document["result"] is not None:
        result(command, document["result"], document["dry_run"])
    return document


if __name__ == "__main__":
    try:
        with open(sys.argv[1], encoding="utf-8") as file:
            check(file.read(), int(sys.argv[2]), sys.argv[3])
    except (Shape, ValueError, KeyError) as problem:
        print(f"out of shape: {problem}")
        sys.exit(1)
