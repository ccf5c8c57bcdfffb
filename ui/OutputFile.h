#pragma once
#include <QString>

#include <sys/types.h>

namespace ui {

// True for a folder that the members of a group share (the installed program's xsl/ is one):
// its links resolved, it has the set-group-id bit, so that every file made in it takes the
// folder's group, and that group is not the user's own primary group. Files written there are
// left readable and writable by the group; anywhere else by their owner alone.
bool IsSharedFolder(const QString &folder);

// The mode a finished file gets in a folder: 0660 in a shared folder, 0600 elsewhere.
mode_t OutputMode(const QString &folder);

// Every file the program writes for the user (exports, PDFs, pictures) goes through one of
// these: the content is written to a partial file beside the target, made for the user alone,
// and Commit syncs it to the disk, gives it its mode, renames it over the target (a link at the
// target's name is replaced, never followed) and syncs the folder. A partial file not
// committed is removed with this object, so a failed or cancelled writing leaves an existing
// target as it was.
class OutputFile {
public:
    explicit OutputFile(const QString &target);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Makes the partial file; answers false with the reason when it cannot.
    bool Open(QString *why);
    // The partial file the writer writes to.
    const QString &PartialPath() const { return m_partial; }
    // Puts the written partial file in the target's place; answers false with the reason.
    bool Commit(QString *why);

private:
    QString m_target;
    QString m_partial;
};

// The name of a file offered for a project: "Project 7 - Garage" from its number and name, the
// characters no file name may hold replaced by "-", a long name cut; the number alone without a name.
QString ProjectFileName(qint32 taskId, const QString &name);

}  // namespace ui
