// A LIFT 0.13 lexicon (the interchange format lexicon tools import): one entry per word with its
// form, gloss, note and a pronunciation whose media is a sound file. Plain data to UTF-8 XML; any
// thread.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace quillar::annotation {

struct LiftEntry {
    QString id;         // unique in the lexicon; the table's id or the item's text
    QString form;       // the lexical unit
    QString gloss;      // a sense's gloss; none when empty
    QString note;       // a note; none when empty
    QString mediaHref;  // relative to the lexicon: "audio/0001-多.wav"
};

struct LiftLexicon {
    QString formLanguage;  // writing system of the forms: the session's first language code
    QString glossLanguage = QStringLiteral("en");
    QString producer = QStringLiteral("Quillar");
    QDateTime produced;
    std::vector<LiftEntry> entries;
};

QByteArray LiftText(const LiftLexicon& lexicon);

}  // namespace quillar::annotation
