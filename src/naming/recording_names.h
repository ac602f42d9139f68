// How an item becomes the name of its recording file, and how any take file's name is made to fit
// the folder it goes to. One rule for the lookup, the auto-save, the marks, F3, the earlier takes,
// recovered takes and pending takes, so that what is saved is always found again. Pure text work
// apart from NameRulesOf, which asks the file system once; any thread.
#pragma once

#include <QDateTime>
#include <QString>

namespace quillar {

// What the folder's file system accepts in one name.
struct NameRules {
    int nameMax = 255;        // bytes of UTF-8 in one name (pathconf _PC_NAME_MAX)
    bool restricted = false;  // FAT, exFAT, NTFS: no "*:<>?\| or control characters, no
                              // trailing dot or space
};

// The rules of the file system `folder` is on; the defaults (255 bytes, unrestricted) when the
// folder cannot be asked (missing, or no folder at all).
NameRules NameRulesOf(const QString& folder);
// Whether a statfs f_type is one of the removable-media file systems with Windows' name rules.
bool IsRestrictedFileSystem(unsigned long fsType);

// `stem` + `suffix`, cleaned for `rules`, and, when longer than rules.nameMax bytes, the longest
// prefix of whole characters of the stem that fits, "~" and eight hex digits of a stable hash of
// `hashKey` before the suffix. A stem that would make a hidden or empty name gets a leading "_".
QString FitFileName(QString stem, const QString& suffix, const NameRules& rules,
                    const QString& hashKey);

// The file name of the recording of `item`, its `occurrence`-th appearance in the list
// ("<item>.wav", "<item> (2).wav"); empty for an item without text (blank or white space only),
// which has no name to be looked up under.
QString ItemFileName(const QString& item, int occurrence, const NameRules& rules);
// Whether an item has no text to name a file after.
bool IsBlankItem(const QString& item);
// The name of a take of an item without text: "未命名-<start time>.wav".
QString UntitledFileName(const QDateTime& started);

// The folder text of the auto-save folder box as paths are made from it (tabs and leading blanks
// dropped); empty when it names no folder.
QString CleanFolder(const QString& folder);
// The file a take of `item` (its `occurrence`-th in the list) begun at `started` is saved to in
// `folder`: the item's recording file, or an untitled one for an item without text. Empty without
// a folder.
QString TakeFilePath(const QString& folder, const QString& item, int occurrence,
                     const QDateTime& started);

// `text` with every control character shown as its Unicode control picture (NUL as U+2400), so
// that it can go into a log or a message without breaking lines or hiding bytes.
QString PrintableText(const QString& text);
// `text` cut to at most `max` characters by an ellipsis in the middle, so that a long item or
// path keeps its start and its end in a message box.
QString ElideMiddle(const QString& text, int max = 200);

}  // namespace quillar
