// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorwalk.h"

#include <QDomDocument>
#include <QDomElement>
#include <QXmlStreamReader>

namespace {
// Real documents are a handful of levels deep; deeper text is refused rather than walked.
constexpr int kMaxDepth = 64;

constexpr int kFanAbove = 500;
constexpr int kTempAbove = 25;
constexpr int kLoadAbove = 0;

using Step = SensorWalk::Step;

// A sub-component's children: the fan chain (0..3), then the temperature chain (4..8).
const std::array<Step, 9> kSubSteps = {{
    {u"CPU Fan", u"Fan", kFanAbove},
    {u"Pump Fan", u"Fan", kFanAbove},
    {u"System Fan", u"Fan", kFanAbove},
    {u"Fan", {}, kFanAbove},
    {u"CPU Core", u"Temperature", kTempAbove},
    {u"Temperature #1", u"Temperature", kTempAbove},
    {u"CPU", u"Temperature", kTempAbove},
    {u"System", u"Temperature", kTempAbove},
    {u"Temperature", {}, kTempAbove},
}};

// A CPU's sensors: the temperature chain (0..2), then the load chain (3..4).
const std::array<Step, 5> kCpuSteps = {{
    {u"CPU Package", u"Temperature", kTempAbove},
    {u"CPU Core #1", u"Temperature", kTempAbove},
    {u"Core (Tctl/Tdie)", u"Temperature", kTempAbove},
    {u"CPU Total", u"Load", kLoadAbove},
    {u"CPU Total", {}, kLoadAbove},
}};

bool isCpu(const SensorWalk::Element& element)
{
    return element.name.contains(u"Intel Core") || element.name.contains(u"AMD Ryzen") ||
           element.hardwareType.contains(u"Cpu");
}

int subTag(QStringView tag)
{
    if (tag == u"SubHardware") {
        return 0;
    }
    return tag == u"Subhardware" ? 1 : -1;
}
} // namespace

int SensorWalk::readingOf(QStringView text)
{
    const qsizetype dot = text.indexOf(u'.');
    bool ok = false;
    const int value = (dot < 0 ? text : text.left(dot)).toInt(&ok, 10);
    return ok ? value : 0;
}

bool SensorWalk::Step::matches(const Element& element, int* reading) const
{
    if (type.isEmpty() ? !element.name.contains(name) : (element.name != name || !element.sensorType.contains(type))) {
        return false;
    }
    *reading = readingOf(element.value);
    return *reading > above;
}

template<std::size_t N>
void SensorWalk::Chain<N>::offer(const std::array<Step, N>& rules, const Element& element)
{
    for (std::size_t i = 0; i < N; ++i) {
        int reading = 0;
        if (!steps[i].found && rules[i].matches(element, &reading)) {
            steps[i] = Found {true, reading};
        }
    }
}

template<std::size_t N>
SensorWalk::Found SensorWalk::Chain<N>::result(std::size_t from, std::size_t to) const
{
    for (std::size_t i = from; i < to; ++i) {
        if (steps[i].found) {
            return steps[i];
        }
    }
    return Found {};
}

SensorWalk::SensorWalk(const ST_VOVIREDO_DATA& figures) : mFigures(figures) { }

void SensorWalk::start(const Element& element)
{
    if (!mSeenRoot) {
        mSeenRoot = true;
        mRootIsComputer = element.tag == u"Computer";
    }
    // Any element directly inside a sub-component is a candidate of its chains.
    if (!mOpen.isEmpty() && mOpen.last() == Kind::Sub) {
        mSubs.last().children.offer(kSubSteps, element);
    }
    if (element.tag == u"Sensor") {
        offerChoice(element);
        for (OpenComponent& component : mComponents) {
            if (component.isCpu) {
                component.cpu.offer(kCpuSteps, element);
            }
        }
    }

    // Kept for the elements inside this one; the slot's buffer is reused from one element to the next.
    if (mNames.size() <= mOpen.size()) {
        mNames.resize(mOpen.size() + 1);
    }
    QString& name = mNames[mOpen.size()];
    name.resize(0);
    name.append(element.name.data(), int(element.name.size()));

    if (element.tag == u"Hardware") {
        OpenComponent component;
        component.isCpu = isCpu(element);
        mComponents.append(component);
        mOpen.append(Kind::Component);
        return;
    }
    const int tag = subTag(element.tag);
    if (tag < 0) {
        mOpen.append(Kind::Other);
        return;
    }
    OpenSub sub;
    sub.tag = tag;
    for (int i = 0; i < mComponents.size(); ++i) {
        if (++mComponents[i].subCounts[std::size_t(tag)] == 1) {
            sub.firstFor.append(i);
        }
    }
    mSubs.append(sub);
    mOpen.append(Kind::Sub);
}

void SensorWalk::offerChoice(const Element& element)
{
    QVector<ST_SENSOR_READING>* chosen = nullptr;
    QChar kind;
    if (element.sensorType == u"Temperature") {
        chosen = &mTemperatures;
        kind = QLatin1Char('T');
    } else if (element.sensorType == u"Fan") {
        chosen = &mFans;
        kind = QLatin1Char('F');
    } else if (element.sensorType == u"Load") {
        chosen = &mLoads;
        kind = QLatin1Char('L');
    } else {
        return;
    }
    QVector<ST_SENSOR_READING>& list = *chosen;
    if (list.size() >= kMaxSensorChoices) {
        return;
    }
    const QString above = mOpen.isEmpty() ? QString() : mNames.at(mOpen.size() - 1);
    QString text = above + QStringLiteral(" / ") + element.name.toString();
    // The same name twice in one list (two drives' "nvme / Composite"): the later ones are numbered.
    const int seen = ++mTextCounts[kind + text];
    if (seen > 1) {
        text += QStringLiteral(" #%1").arg(seen);
    }
    list.append(ST_SENSOR_READING {text, readingOf(element.value)});
}

void SensorWalk::end()
{
    if (mOpen.isEmpty()) {
        return;
    }
    const Kind kind = mOpen.takeLast();
    if (kind == Kind::Sub) {
        const OpenSub sub = mSubs.takeLast();
        for (int i : sub.firstFor) {
            mComponents[i].firstSub[std::size_t(sub.tag)] = sub.children;
        }
    } else if (kind == Kind::Component) {
        closeComponent();
    }
}

void SensorWalk::closeComponent()
{
    OpenComponent component = mComponents.takeLast();
    QVector<Outcome> outcomes;
    const std::size_t tag = component.subCounts[0] > 0 ? 0 : 1;
    if (component.subCounts[tag] == 1) {
        const Chain<9>& children = component.firstSub[tag];
        outcomes.append(Outcome {Outcome::Kind::SubComponent, children.result(0, 4), children.result(4, 9)});
    } else if (component.isCpu) {
        outcomes.append(Outcome {Outcome::Kind::Cpu, component.cpu.result(0, 3), component.cpu.result(3, 5)});
    }
    outcomes += component.inner;

    // A component that is still open came first in the document: its own outcome goes before these.
    if (!mComponents.isEmpty()) {
        mComponents.last().inner += outcomes;
        return;
    }
    for (const Outcome& outcome : qAsConst(outcomes)) {
        apply(outcome);
    }
}

void SensorWalk::apply(const Outcome& outcome)
{
    if (outcome.kind == Outcome::Kind::SubComponent) {
        // Both chains run whatever was found before: a later component replaces an earlier result, or clears it.
        mFigures.cpufan = outcome.first.value;
        mFigures.cputmp = outcome.second.value;
        mTempOk = outcome.second.found;
        return;
    }
    // A CPU gives the temperature only when none was found before it; its load always replaces the last one.
    if (!mTempOk) {
        mFigures.cputmp = outcome.first.value;
        mTempOk = outcome.first.found;
    }
    mFigures.cpuload = outcome.second.value;
}

bool SensorWalk::walkText(const QString& text, SensorWalk* walk)
{
    static const QLatin1String kName("Name");
    static const QLatin1String kHardwareType("HardwareType");
    static const QLatin1String kSensorType("SensorType");
    static const QLatin1String kValue("Value");
    QXmlStreamReader reader(text);
    // As a DOM built without namespace processing: prefixes are part of the tag.
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            walk->end();
        } else if (token == QXmlStreamReader::StartElement) {
            if (++depth > kMaxDepth) {
                return false;
            }
            const QXmlStreamAttributes attributes = reader.attributes();
            walk->start(Element {reader.qualifiedName(),
                                 attributes.value(kName),
                                 attributes.value(kHardwareType),
                                 attributes.value(kSensorType),
                                 attributes.value(kValue)});
        }
    }
    return !reader.hasError();
}

void SensorWalk::walkDocument(const QDomDocument& document, SensorWalk* walk)
{
    // Depth first without recursion: the lenient parser's documents are small, but their nesting is not bounded.
    QVector<QDomElement> path;
    QDomElement element = document.documentElement();
    while (!element.isNull()) {
        const QString name = element.attribute(QStringLiteral("Name"));
        const QString hardwareType = element.attribute(QStringLiteral("HardwareType"));
        const QString sensorType = element.attribute(QStringLiteral("SensorType"));
        const QString value = element.attribute(QStringLiteral("Value"));
        const QString tag = element.tagName();
        walk->start(Element {tag, name, hardwareType, sensorType, value});
        const QDomElement child = element.firstChildElement();
        if (!child.isNull()) {
            path.append(element);
            element = child;
            continue;
        }
        walk->end();
        QDomElement next = element.nextSiblingElement();
        while (next.isNull() && !path.isEmpty()) {
            walk->end();
            next = path.takeLast().nextSiblingElement();
        }
        element = next;
    }
}
