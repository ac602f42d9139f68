// Files an export puts into a folder that is not its own: each is written to a temporary file
// beside its place, put in place under a name nothing stands at (never replacing a file), and
// read back and compared by SHA-256 with what it was made from before it counts. Any thread; the
// test hook aside, nothing here keeps state.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace quillar {

// The SHA-256 of the file's bytes as 64 lower-case hex digits; empty when it cannot be read.
QString FileSha256(const QString& path);

// Copies the file `from` to `to`, in a folder that exists. `sourceSha256`: the source's hash as
// read before the copy (FileSha256), which the copy must read back as. False with the reason,
// naming the file, when anything stands at `to`, the copy could not be written, or it does not
// read back as the source.
bool CopyVerified(const QString& from, const QString& to, const QString& sourceSha256,
                  QString* error);
// Writes `bytes` as the new file `to` the same way.
bool WriteVerified(const QByteArray& bytes, const QString& to, QString* error);

// The files one export has placed, so that a failure part way removes them again and leaves the
// folder as it found it (a later run would otherwise be refused by its own copies). Only files
// this export made are ever removed.
class PlacedFiles {
  public:
    void add(const QString& path) { m_paths.append(path); }
    // Keeps them: the export succeeded.
    void keep() { m_paths.clear(); }
    ~PlacedFiles();
    PlacedFiles() = default;
    PlacedFiles(const PlacedFiles&) = delete;
    PlacedFiles& operator=(const PlacedFiles&) = delete;

  private:
    QStringList m_paths;
};

// Tests only: called with the path of every copy once it stands in its place and before it is
// read back, so that a test can spoil it. Set before an export runs, never while one does.
void SetCopyPlacedHookForTest(std::function<void(const QString& path)> hook);

}  // namespace quillar
