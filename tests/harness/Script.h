#pragma once

#include <QString>
#include <QStringList>

// Drives the real windows from a script file, one command per line (fields separated by tabs),
// each run from the event loop as a user's action would be, each followed by DONE <tab> command:
//   add <name> <url>          New Site Link, type both boxes, Ok
//   select <index>            select that entry of the main list
//   deleteSelected            Delete Selected Site Link (the question is answered by the harness)
//   deleteAll                 Delete All Site Links
//   edit <old> <name> <url>   Edit Site Link, pick the first entry named old, type both boxes, Save
//   bulk <prefix> <count>     store count links <prefix>-<i> in one transaction (setup, not a user action)
//   report                    COUNT <tab> count label <tab> entries of the main list
//   login <user> <password>   type both into the log-in window, Ok (before the main window is up)
//   protect <user> <password> Options, Program Protection, Yes, type the credentials, Ok
//   unprotect                 Options, Program Protection, No
//   restore <row>             Restore From Backup..., pick that row of the list, Restore
//   waitfile <path>           wait until that file exists (another process's go-ahead)
//   loop                      start again at the first line
//   exit                      EXIT
class HarnessScript {
public:
    explicit HarnessScript(const QString& path);
    void start();

private:
    void step();
    bool run(const QStringList& fields);
    QStringList m_lines;
    int m_next = 0;
};

// The address the scripts give a name: long enough that a record spans more than a few bytes.
QString scriptUrlFor(const QString& name);
