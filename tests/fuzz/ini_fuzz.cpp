// Any bytes as sys.ini: the folders, the item positions and the recording options are read as at
// start-up, then written back as the window saves them. Whatever the file held, a value written
// is the value read next, the options stay in their ranges, and the lines not written keep their
// bytes.

#include "app/recording_options_file.h"
#include "app/settings.h"
#include "fuzz_support.h"
#include "kit/recording_options.h"

using namespace quillar;
using fuzz::check;

namespace {

void checkRanges(const RecordingOptions& o) {
    check(o.preroll_ms >= 0 && o.preroll_ms <= kMaxMarginMs, "pre-roll in range");
    check(o.postroll_ms >= 0 && o.postroll_ms <= kMaxMarginMs, "post-roll in range");
    check(o.channels == 1 || o.channels == 2, "one or two channels");
    check(o.sensitivity_db >= kMinSensitivityDb && o.sensitivity_db <= kMaxSensitivityDb,
          "sensitivity in range");
    check(o.silence_ms >= kMinSilenceMs && o.silence_ms <= kMaxSilenceMs, "silence in range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString ini = fuzz::scratch().filePath(QStringLiteral("sys.ini"));
    fuzz::writeFile(ini, fuzz::bytesOf(data, size));
    const QString section = QString::fromUtf16(kSettingsSection);
    const QString folderKey = QString::fromUtf16(kSaveFolderKey);
    const QString listKey = QString::fromUtf16(kItemFileKey);
    const QString list = QStringLiteral("/home/f/词表 [a]=b;.txt");

    const QString itemFile = ReadProfileString(ini, section, listKey);
    ReadProfileString(ini, section, folderKey);
    QString id;
    ReadItemPosition(ini, itemFile, &id);
    const RecordingOptions options = ReadRecordingOptions(ini);
    checkRanges(options);

    // Saving the configuration, the options and a position, then starting again.
    const QString folder = QStringLiteral("/home/f/录音 2026");
    if (!WriteProfileStrings(ini, section, {{folderKey, folder}, {listKey, list}})) {
        return 0;  // the file could not be replaced: nothing to read back
    }
    check(ReadProfileString(ini, section, folderKey) == folder, "folder read back");
    check(ReadProfileString(ini, section, listKey) == list, "item file read back");
    check(WriteRecordingOptions(ini, options), "options written");
    check(ReadRecordingOptions(ini) == options, "options read back");
    check(WriteItemPosition(ini, list, 41, QStringLiteral("0042")), "position written");
    check(ReadItemPosition(ini, list, &id) == 41 && id == QStringLiteral("0042"),
          "position read back");
    check(ReadProfileString(ini, section, folderKey) == folder, "folder kept");
    return 0;
}
