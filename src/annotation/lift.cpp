#include "annotation/lift.h"

#include <QXmlStreamWriter>

namespace quillar::annotation {

namespace {

void writeForm(QXmlStreamWriter& xml, const QString& lang, const QString& text) {
    xml.writeStartElement(QStringLiteral("form"));
    xml.writeAttribute(QStringLiteral("lang"), lang);
    xml.writeTextElement(QStringLiteral("text"), text);
    xml.writeEndElement();
}

}  // namespace

QByteArray LiftText(const LiftLexicon& l) {
    const QString formLanguage = l.formLanguage.isEmpty() ? QStringLiteral("und") : l.formLanguage;
    const QString when = l.produced.toUTC().toString(Qt::ISODate);
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("lift"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("0.13"));
    xml.writeAttribute(QStringLiteral("producer"), l.producer);
    for (const LiftEntry& e : l.entries) {
        xml.writeStartElement(QStringLiteral("entry"));
        xml.writeAttribute(QStringLiteral("id"), e.id);
        if (l.produced.isValid()) {
            xml.writeAttribute(QStringLiteral("dateCreated"), when);
            xml.writeAttribute(QStringLiteral("dateModified"), when);
        }
        xml.writeStartElement(QStringLiteral("lexical-unit"));
        writeForm(xml, formLanguage, e.form);
        xml.writeEndElement();
        if (!e.mediaHref.isEmpty()) {
            xml.writeStartElement(QStringLiteral("pronunciation"));
            xml.writeEmptyElement(QStringLiteral("media"));
            xml.writeAttribute(QStringLiteral("href"), e.mediaHref);
            xml.writeEndElement();
        }
        if (!e.gloss.isEmpty()) {
            xml.writeStartElement(QStringLiteral("sense"));
            xml.writeAttribute(QStringLiteral("id"), e.id + QStringLiteral("_sense"));
            xml.writeStartElement(QStringLiteral("gloss"));
            xml.writeAttribute(QStringLiteral("lang"), l.glossLanguage);
            xml.writeTextElement(QStringLiteral("text"), e.gloss);
            xml.writeEndElement();
            xml.writeEndElement();
        }
        if (!e.note.isEmpty()) {
            xml.writeStartElement(QStringLiteral("note"));
            writeForm(xml, l.glossLanguage, e.note);
            xml.writeEndElement();
        }
        xml.writeEndElement();  // entry
    }
    xml.writeEndElement();  // lift
    xml.writeEndDocument();
    return out;
}

}  // namespace quillar::annotation
