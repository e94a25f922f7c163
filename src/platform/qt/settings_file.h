#pragma once
// The settings file: one INI file, $XDG_CONFIG_HOME/tavelin/tavelin.conf
// (else ~/.config/tavelin/tavelin.conf) or the one named by --config, read
// and written with QSettings (UTF-8). Reading never writes or creates
// anything. Saving writes the program's keys, keeps every key and section it
// does not know, and replaces the file atomically (QSaveFile): a save that
// fails leaves the old file as it was. Comments, the order of keys and lines
// QSettings cannot read are not kept by a save.

#include "settings/settings.h"

#include <QString>

namespace tavelin {

class SettingsFile {
public:
    explicit SettingsFile(QString path);

    QString path() const { return path_; }

    // $XDG_CONFIG_HOME (when set to an absolute path), else ~/.config, then
    // /tavelin/tavelin.conf.
    static QString defaultPath();

    struct Loaded {
        Settings settings;
        QString report; // sentences, one a line, for the operator; empty when all is well
    };
    // A missing file gives the defaults and no report. A file that cannot be
    // read (no permission, a folder) gives the defaults and a report naming
    // the file and the reason. Lines QSettings cannot read are ignored and
    // reported; every value that cannot be used takes its default and is
    // reported (settingsProblemReport).
    Loaded load() const;
    // Reads the file again while the settings inUse run: a value that cannot
    // be used, or a file that cannot be read, keeps what is in use.
    Loaded reload(const Settings& inUse) const;

    // Writes the settings; the folder is made when missing. On failure false,
    // *error (when given) says why, and the old file is untouched.
    bool save(const Settings& settings, QString* error);

    // What a dialog saves: only the keys whose values differ between the
    // settings it started from and the ones it ends with, so that every other
    // value stays as the file has it now (edited by hand meanwhile, perhaps);
    // a file that is not there gets every key, as save() writes. Then the file is read again and *saved (when given) gets what it holds,
    // for the program to run with; a value there that cannot be used keeps
    // the one in after. On failure as save().
    bool saveChanges(const Settings& before, const Settings& after, Settings* saved, QString* error);

private:
    Loaded read(const Settings* inUse) const;
    // Writes values and removes the keys removed; settings are the whole
    // settings they come from, checked before anything is written.
    bool write(const Settings& settings, const QMap<QString, QString>& values, const QStringList& removed,
               QString* error);

    QString path_;
};

} // namespace tavelin
