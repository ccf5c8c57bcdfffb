#pragma once
// Projects shared with other users, and the history of every change. A project's owner (its
// tblTasks.UserId) shares it with other users as viewer (reads its ledger, overview, reports and
// exports) or editor (also books, edits and deletes its entries under the owner's name, with the
// owner's heads). On a server the row policies enforce the roles and triggers owned by a role no
// one logs in as write the history; on the file the windows keep to the roles and triggers in the
// file write the history. Works on the process-wide connection as the logged-in user.
//
// Tables (both engines):
//   tblMembers (TaskID, UserId, Role)  UserId: the member; Role: "Viewer" or "Editor". The owner is
//                                      tblTasks.UserId and has no row here.
//   tblHistory (Id, Event, ChangedAt, ChangedBy, TableName, RowKey, TaskID, Kind, ColumnName,
//               OldValue, NewValue)    one row per column of a changed row; the rows of one
//                                      insert, update or delete share Event. Kind: "Added",
//                                      "Changed", "Deleted". TableName: "tblTasks", "tblTransaction",
//                                      "defHeads", "tblMembers". TaskID: the project the row belongs
//                                      to (0 for a head).
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

enum class ProjectRole { None, Owner, Editor, Viewer };

// The words the windows show for a member's role.
QString RoleName(ProjectRole role);  // "Owner", "Editor", "Viewer", ""

// What the logged-in user may do with a project, and whose it is.
struct ProjectAccess {
    ProjectRole role = ProjectRole::None;
    QString owner;  // the owner's user name, as stored
};
ProjectAccess AccessTo(std::int32_t taskId);

struct Member {
    QString user;
    ProjectRole role = ProjectRole::Viewer;
};
// The project's members, by name (the owner not among them).
std::vector<Member> MembersOf(std::int32_t taskId);
// Adds a member or changes their role; only the owner may. A name that is no user throws
// SqlError("No user named NAME exists."); the owner's own name, or a role other than Viewer or
// Editor, throws too.
void ShareProject(std::int32_t taskId, const QString &user, ProjectRole role);
void UnshareProject(std::int32_t taskId, const QString &user);

// The condition that picks the projects shared with a user from tblTasks (for the task list's
// statement): "TaskID In (Select TaskID From tblMembers Where UserId='ann')".
QString SharedWithCondition(const QString &user);

struct HistoryRow {
    std::int64_t id = 0;
    std::int64_t event = 0;
    QDateTime changedAt;   // UTC
    QString changedBy;     // the Quillmark user who made the change
    QString table;
    std::int64_t rowKey = 0;
    std::int32_t taskId = 0;
    QString kind;          // "Added", "Changed", "Deleted"
    QString column;
    QString oldValue;      // empty for an insert (or a null)
    QString newValue;      // empty for a delete (or a null)
};
// The changes of a project the user can see, newest first: its own row's, its entries', its
// memberships'. With entryId, only that entry's.
std::vector<HistoryRow> HistoryOf(std::int32_t taskId, std::int32_t entryId = 0);
// The changes of every project of the user's own, those they deleted included (so a deleted
// project can be found and restored), newest first.
std::vector<HistoryRow> HistoryOfOwnProjects();

// Puts back what a history event changed: a deleted entry (under its own key when still free,
// else a new one) or an entry's values before a change; a deleted project with its row. The
// restore is itself recorded. Answers the key of the entry or project restored. Throws SqlError
// when the user may not, or the event cannot be restored.
std::int64_t Restore(std::int64_t event);
