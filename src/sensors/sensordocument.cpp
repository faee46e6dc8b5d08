#include "sensordocument.h"

#include <QDomElement>
#include <QXmlStreamReader>
#include <vector>

namespace {
// Real documents are a handful of levels deep. Far deeper text would cost stack (the DOM frees its nodes
// recursively) and time (the walk searches every component's subtree), so it is refused.
constexpr std::size_t kMaxDepth = 64;

struct OpenElement
{
    QDomElement kept; // this element, or the nearest ancestor that was kept
    bool isSub = false;
    bool inCpu = false; // inside a component whose name or type makes it a CPU
};

bool isCpuComponent(const QXmlStreamAttributes& attributes)
{
    const QStringRef name = attributes.value(QLatin1String("Name"));
    const QStringRef type = attributes.value(QLatin1String("HardwareType"));
    return name.contains(QLatin1String("Intel Core")) || name.contains(QLatin1String("AMD Ryzen")) ||
           type.contains(QLatin1String("Cpu"));
}
} // namespace

bool readSensorDocument(const QString& text, QDomDocument* doc)
{
    static const QString kNames[] = {
        QStringLiteral("Name"), QStringLiteral("HardwareType"), QStringLiteral("SensorType"), QStringLiteral("Value")};
    QXmlStreamReader reader(text);
    // As a DOM built without namespace processing: prefixes are part of the tag.
    reader.setNamespaceProcessing(false);
    std::vector<OpenElement> open;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            open.pop_back();
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        if (open.size() >= kMaxDepth) {
            reader.raiseError(QStringLiteral("elements nested too deep"));
            break;
        }
        const QStringRef tag = reader.qualifiedName();
        const QXmlStreamAttributes attributes = reader.attributes();
        OpenElement* parent = open.empty() ? nullptr : &open.back();
        const bool isHardware = tag == QLatin1String("Hardware");
        const bool isSub = tag == QLatin1String("SubHardware") || tag == QLatin1String("Subhardware");
        const bool inCpu = (parent && parent->inCpu) || (isHardware && isCpuComponent(attributes));
        // A direct child of a sub-component is a candidate whatever its tag; kept, it also keeps its own children
        // from passing for direct children of that sub-component.
        const bool keep = !parent || isHardware || isSub || parent->isSub || (inCpu && tag == QLatin1String("Sensor"));

        OpenElement element;
        element.inCpu = inCpu;
        if (!keep) {
            element.kept = parent->kept;
            open.push_back(element);
            continue;
        }
        element.kept = doc->createElement(tag.toString());
        element.isSub = isSub;
        for (const QString& name : kNames) {
            if (attributes.hasAttribute(name)) {
                element.kept.setAttribute(name, attributes.value(name).toString());
            }
        }
        if (parent) {
            parent->kept.appendChild(element.kept);
        } else {
            doc->appendChild(element.kept);
        }
        open.push_back(element);
    }
    return !reader.hasError();
}
