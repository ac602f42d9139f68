// Naming templates: the text that composes a recording's path below the auto-save folder from an
// item's fields ("{speaker}/{list}/{id}{item}" -> 老男/单字/0001多.wav), its check, and the check
// of a whole list against it before it is used. Each path part is fitted to the folder's file
// system by FitFileName's rules (recording_names.h); a plain list under "{item}" is named exactly
// as recording_names.h names it. Pure text work apart from TemplateRecordingPath,
// TemplateTakePath (which ask the file system for its rules) and MakeRecordingFolders; any thread.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "naming/item_entry.h"
#include "naming/recording_names.h"

namespace quillar {

enum class NameField { Id, Item, Gloss, Speaker, List };

// A piece of one path part: the template's own text, or a field.
struct NamePiece {
    std::optional<NameField> field;  // none for the template's own text
    QString text;                    // the template's own text; empty for a field
    int width = 0;                   // {id:4}: a numeric id zero-padded to 4 digits; 0 for none
    bool operator==(const NamePiece&) const = default;
};

// A template that passed ParseNameTemplate: its path parts in order, the last the file's stem.
struct NameTemplate {
    QString text;
    std::vector<std::vector<NamePiece>> parts;  // never empty; no part is empty

    bool uses(NameField field) const;
    // Whether this is "{item}", the name a plain list's items always had: only then do
    // homographs of a plain list get " (2)", " (3)".
    bool isItemAlone() const;
};

inline constexpr char16_t kPlainListTemplate[] = u"{item}";
inline constexpr char16_t kTableTemplate[] = u"{id}{item}";
// The template a list gets when none is set: "{item}" for a plain list, "{id}{item}" for a table.
QString DefaultNameTemplate(bool table);
// The templates the options offer: "{item}", "{speaker}/{list}/{id}{item}", "{speaker}-{id}".
QStringList NameTemplatePresets();

// The template of `text`; nothing when it is not one, with the reason for the user in `error`:
// an unknown field, unbalanced braces, a bad width, neither {id} nor {item}, an empty path part,
// a part "." or "..", a backslash or a control character.
std::optional<NameTemplate> ParseNameTemplate(const QString& text, QString* error = nullptr);

// What a name takes from outside the item.
struct NamingContext {
    QString speaker;         // the session's speaker code; {speaker}
    QString list;            // the item file's name without its extension (ListNameOf); {list}
    bool table = false;      // the list is a table: items are told apart by id, never " (2)"
    bool asciiOnly = false;  // 文件名仅ASCII: every part made of A-Za-z0-9, "-" and "_"
};

// {list} of the item file at `path`: "/a/单字.csv" -> "单字", "/a/list.v2.txt" -> "list.v2".
QString ListNameOf(const QString& itemFilePath);

// A path composed from a template before it is fitted to a folder.
// Field values: TABs are dropped (as they always were from names), "/" and control characters
// become "_", so a field never makes a subfolder; outer white space is trimmed from every field
// but {item}, and an item of white space only is empty. With asciiOnly, each whole part (fields
// and the template's own text alike) has every character outside A-Za-z0-9, "-" and "_" made
// "_", runs of "_" made one, and "_" trimmed from both ends; a part left empty is "_".
struct ComposedName {
    QStringList parts;     // the subfolders, then the file's stem (without ".wav")
    QStringList hashKeys;  // one per part: what tells its overlong name from another's
    // Whether the item has a name at all: false when every {id} and {item} of the template
    // gave nothing (or nothing ASCII), so that nothing tells it from another; then the stem is
    // empty and its takes are untitled.
    bool named = false;
    bool asciiOnly = false;  // fitted, an overlong part's hash follows "-" instead of "~"
};
// The name of `entry`, its `occurrence`-th appearance in a plain list (from 1; used only by a
// plain list under "{item}", where the second and later get " (2)", " (3)").
ComposedName ComposeName(const NameTemplate& tmpl, const ItemEntry& entry, int occurrence,
                         const NamingContext& context);
// The relative path of `name` in a folder with `rules`, "老男/单字/0001多.wav": each part fitted
// as FitFileName fits one name, the stem with ".wav"; empty when it is not named.
QString FitComposedName(const ComposedName& name, const NameRules& rules);

// The recording file of `entry` in the auto-save folder `folder`: empty without a folder
// (CleanFolder) and for an item without a name. A plain list under "{item}" gets exactly
// RecordingPathOf's path.
QString TemplateRecordingPath(const QString& folder, const NameTemplate& tmpl,
                              const ItemEntry& entry, int occurrence, const NamingContext& context);
// The file a take of `entry` begun at `started` is saved to: its recording file, or for an item
// without a name an untitled one in the template's subfolders ("未命名-<time>.wav",
// "untitled-<time>.wav" with asciiOnly). Empty without a folder. A plain list under "{item}"
// gets exactly TakeFilePath's path.
QString TemplateTakePath(const QString& folder, const NameTemplate& tmpl, const ItemEntry& entry,
                         int occurrence, const NamingContext& context, const QDateTime& started);

// The occurrence of each row's item text among the rows before it and itself (1, 2, ...), in
// the order of `rows`: what tells homographs of a plain list apart.
std::vector<int> ItemOccurrences(const std::vector<ItemEntry>& rows);

// What stands in the way of naming every item of `items` by `tmpl` in a folder with `rules`, as
// one message for the user; empty when nothing does. Reported: items that have text or an id
// but get no name, and two items whose paths are the same after fitting (compared ignoring
// case too when rules.restricted), both named by row, id and text; the first 10 of each kind
// and how many more. Rows with neither text nor id are not items and are passed over. The
// context's `table` is taken from `items`. A plain list under "{item}" never clashes by its
// homographs; items that differ only where names cannot (TABs, "/" and "_", case on a FAT
// stick) do, as their files always did. 100,000 rows take about 0.15 s (bench/naming_bench).
QString CheckNameTemplate(const NameTemplate& tmpl, const ItemTable& items,
                          const NamingContext& context, const NameRules& rules);

// Makes the folders missing between the auto-save folder `folder` (its box's text, as
// CleanFolder reads it) and the folder of the file `path` lies in ("<folder>/老男/单字/0001多.wav"
// -> 老男, 老男/单字), flushing each new one's parent. Never `folder` itself or anything above or
// beside it: false with errno ENOENT when `folder` does not exist, EINVAL when `path` is not below
// it. True when the file's folder exists afterwards; otherwise errno says why.
bool MakeRecordingFolders(const QString& folder, const QString& path);

}  // namespace quillar
