// The interface's texts: the Chinese written in the code is the source, shown as it is on Chinese
// desktops (and with no language at all), and through the English translation installed at start
// otherwise. `Texts::tr("…")` marks and translates a text where it is used; a text kept in a
// constant is marked with QT_TRANSLATE_NOOP("Quillar", …) and held as a `LaterText`, which
// translates when it is shown, since constants are made before the translator is installed.
// Any thread (QCoreApplication::translate is thread-safe once the translator is installed).
#pragma once

#include <QCoreApplication>
#include <QString>

namespace quillar {

struct Texts {
    Q_DECLARE_TR_FUNCTIONS(Quillar)
};

// A marked source text, translated each time it becomes a QString. The conversion is implicit
// so that a constant is used where it is shown exactly as a QString constant was.
struct LaterText {
    const char* source;
    operator QString() const { return Texts::tr(source); }
};

}  // namespace quillar
