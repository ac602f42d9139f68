#include "annotation/eaf.h"

#include <QXmlStreamWriter>
#include <algorithm>

namespace quillar::annotation {

QByteArray EafText(const EafDocument& d) {
    // Every annotation has timeSlots of its own, numbered in time order as the TIME_ORDER lists
    // them.
    struct Slot {
        std::int64_t ms;
        std::size_t tier;
        std::size_t annotation;
        bool end;
    };
    std::vector<Slot> timeSlots;
    for (std::size_t t = 0; t < d.tiers.size(); ++t) {
        for (std::size_t a = 0; a < d.tiers[t].annotations.size(); ++a) {
            const EafAnnotation& an = d.tiers[t].annotations[a];
            timeSlots.push_back({std::max<std::int64_t>(0, an.startMs), t, a, false});
            timeSlots.push_back(
                {std::max(std::max<std::int64_t>(0, an.startMs), an.endMs), t, a, true});
        }
    }
    std::stable_sort(timeSlots.begin(), timeSlots.end(),
                     [](const Slot& a, const Slot& b) { return a.ms < b.ms; });
    std::vector<std::vector<std::pair<QString, QString>>> refs(d.tiers.size());
    for (std::size_t t = 0; t < d.tiers.size(); ++t) {
        refs[t].resize(d.tiers[t].annotations.size());
    }
    for (std::size_t i = 0; i < timeSlots.size(); ++i) {
        const QString id = QStringLiteral("ts%1").arg(i + 1);
        auto& ref = refs[timeSlots[i].tier][timeSlots[i].annotation];
        (timeSlots[i].end ? ref.second : ref.first) = id;
    }

    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(4);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("ANNOTATION_DOCUMENT"));
    xml.writeAttribute(QStringLiteral("AUTHOR"), d.author);
    xml.writeAttribute(QStringLiteral("DATE"),
                       d.date.toOffsetFromUtc(d.date.offsetFromUtc()).toString(Qt::ISODate));
    xml.writeAttribute(QStringLiteral("FORMAT"), QStringLiteral("3.0"));
    xml.writeAttribute(QStringLiteral("VERSION"), QStringLiteral("3.0"));
    xml.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"),
                       QStringLiteral("xsi"));
    xml.writeAttribute(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"),
                       QStringLiteral("noNamespaceSchemaLocation"),
                       QStringLiteral("http://www.mpi.nl/tools/elan/EAFv3.0.xsd"));

    xml.writeStartElement(QStringLiteral("HEADER"));
    xml.writeAttribute(QStringLiteral("MEDIA_FILE"), QString());
    xml.writeAttribute(QStringLiteral("TIME_UNITS"), QStringLiteral("milliseconds"));
    xml.writeEmptyElement(QStringLiteral("MEDIA_DESCRIPTOR"));
    xml.writeAttribute(QStringLiteral("MEDIA_URL"),
                       d.mediaUrl.isEmpty() ? d.mediaRelativeUrl : d.mediaUrl);
    xml.writeAttribute(QStringLiteral("MIME_TYPE"), d.mimeType);
    xml.writeAttribute(QStringLiteral("RELATIVE_MEDIA_URL"), d.mediaRelativeUrl);
    xml.writeEndElement();  // HEADER

    xml.writeStartElement(QStringLiteral("TIME_ORDER"));
    for (std::size_t i = 0; i < timeSlots.size(); ++i) {
        xml.writeEmptyElement(QStringLiteral("TIME_SLOT"));
        xml.writeAttribute(QStringLiteral("TIME_SLOT_ID"), QStringLiteral("ts%1").arg(i + 1));
        xml.writeAttribute(QStringLiteral("TIME_VALUE"), QString::number(timeSlots[i].ms));
    }
    xml.writeEndElement();  // TIME_ORDER

    int annotationId = 0;
    for (std::size_t t = 0; t < d.tiers.size(); ++t) {
        xml.writeStartElement(QStringLiteral("TIER"));
        xml.writeAttribute(QStringLiteral("LINGUISTIC_TYPE_REF"), QStringLiteral("default-lt"));
        xml.writeAttribute(QStringLiteral("TIER_ID"), d.tiers[t].id);
        for (std::size_t a = 0; a < d.tiers[t].annotations.size(); ++a) {
            xml.writeStartElement(QStringLiteral("ANNOTATION"));
            xml.writeStartElement(QStringLiteral("ALIGNABLE_ANNOTATION"));
            xml.writeAttribute(QStringLiteral("ANNOTATION_ID"),
                               QStringLiteral("a%1").arg(++annotationId));
            xml.writeAttribute(QStringLiteral("TIME_SLOT_REF1"), refs[t][a].first);
            xml.writeAttribute(QStringLiteral("TIME_SLOT_REF2"), refs[t][a].second);
            xml.writeTextElement(QStringLiteral("ANNOTATION_VALUE"),
                                 d.tiers[t].annotations[a].value);
            xml.writeEndElement();  // ALIGNABLE_ANNOTATION
            xml.writeEndElement();  // ANNOTATION
        }
        xml.writeEndElement();  // TIER
    }
    xml.writeEmptyElement(QStringLiteral("LINGUISTIC_TYPE"));
    xml.writeAttribute(QStringLiteral("GRAPHIC_REFERENCES"), QStringLiteral("false"));
    xml.writeAttribute(QStringLiteral("LINGUISTIC_TYPE_ID"), QStringLiteral("default-lt"));
    xml.writeAttribute(QStringLiteral("TIME_ALIGNABLE"), QStringLiteral("true"));
    xml.writeEndElement();  // ANNOTATION_DOCUMENT
    xml.writeEndDocument();
    return out;
}

}  // namespace quillar::annotation
