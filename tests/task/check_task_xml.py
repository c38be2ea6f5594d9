"""Checks a task definition that packaging/windows/task.nsh wrote, as the Task Scheduler reads it.

    check_task_xml.py FILE COMMAND WORKING_DIRECTORY EXECUTION_TIME_LIMIT

The file must be UTF-16LE with a byte order mark and well-formed XML in the Task Scheduler's
namespace, with every setting a scheduled run relies on; COMMAND and WORKING_DIRECTORY are the
values the parsed file must hold (so an unescaped & in a path fails the parse). Prints each
failure and exits 1 when there is one.
"""
import sys
import xml.etree.ElementTree as ET

NS = "{http://schemas.microsoft.com/windows/2004/02/mit/task}"


def main():
    path, command, working_directory, time_limit = sys.argv[1:5]
    failures = []
    data = open(path, "rb").read()
    if not data.startswith(b"\xff\xfe"):
        print(f"FAILED: {path} does not start with the UTF-16LE byte order mark")
        return 1
    text = data[2:].decode("utf-16-le")
    if not text.startswith('<?xml version="1.0" encoding="UTF-16"?>\r\n'):
        failures.append("the XML declaration is not the first line, in UTF-16, with CR LF")
    try:
        task = ET.fromstring(data)  # the parser reads the declaration and the byte order mark
    except ET.ParseError as error:
        print(f"FAILED: {path} is not well-formed XML: {error}")
        return 1
    if task.tag != NS + "Task" or task.get("version") != "1.2":
        failures.append(f"the root is {task.tag} version {task.get('version')}, not Task 1.2")

    def expect(where, value):
        found = task.findall("/".join(NS + step for step in where.split("/")))
        if len(found) != 1:
            failures.append(f"{where}: {len(found)} elements, not one")
        elif (found[0].text or "") != value:
            failures.append(f"{where} is {found[0].text!r}, not {value!r}")

    expect("RegistrationInfo/Author", "catalog-publisher maintainers")
    description = task.find(f"{NS}RegistrationInfo/{NS}Description")
    if description is None or not description.text:
        failures.append("RegistrationInfo/Description is missing or empty")
    expect("RegistrationInfo/URI", "\\catalog-publisher")
    expect("Triggers/TimeTrigger/Enabled", "true")
    expect("Triggers/TimeTrigger/Repetition/Interval", "PT15M")
    boundary = task.find(f"{NS}Triggers/{NS}TimeTrigger/{NS}StartBoundary")
    # Local time (no zone) at a quarter hour, so that the runs fall at :00, :15, :30, :45.
    if boundary is None or not boundary.text.endswith((":00:00", ":15:00", ":30:00", ":45:00")):
        failures.append("TimeTrigger/StartBoundary is missing or not at a quarter hour")
    if task.find(f"{NS}Triggers/{NS}TimeTrigger/{NS}Repetition/{NS}Duration") is not None:
        failures.append("the repetition has a Duration: it would stop repeating")
    expect("Principals/Principal/LogonType", "Password")
    if task.find(f"{NS}Principals/{NS}Principal/{NS}UserId") is not None:
        failures.append("the principal names a user: schtasks /RU must choose it")
    principal = task.find(f"{NS}Principals/{NS}Principal")
    actions = task.find(f"{NS}Actions")
    if principal is None or actions is None or principal.get("id") != actions.get("Context"):
        failures.append("the actions' Context is not the principal's id")
    expect("Settings/MultipleInstancesPolicy", "IgnoreNew")
    expect("Settings/ExecutionTimeLimit", time_limit)
    expect("Settings/StartWhenAvailable", "true")
    expect("Settings/DisallowStartIfOnBatteries", "false")
    expect("Settings/StopIfGoingOnBatteries", "false")
    expect("Settings/Enabled", "true")
    expect("Settings/Priority", "7")
    expect("Actions/Exec/Command", command)
    expect("Actions/Exec/WorkingDirectory", working_directory)
    if task.find(f"{NS}Actions/{NS}Exec/{NS}Arguments") is not None:
        failures.append("the action passes arguments: the program takes none")
    for failure in failures:
        print(f"FAILED: {path}: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
