// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORWALK_H
#define ORVANE_SENSORWALK_H

#include "hwinfodata.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <QVector>
#include <array>

class QDomDocument;

// The client's rules over a sensor document, taken in one pass over its elements. Each component ("Hardware") is
// judged when it closes, and what it found is applied in document order; nothing of the document is kept beyond
// the components still open, so memory stays small whatever the document holds.
//
// A component with exactly one sub-component ("SubHardware", or "Subhardware" when it has none of the first kind)
// gives the fan and the temperature from that sub-component's direct children; any other component recognised as a
// CPU gives the temperature (when none was found before it) and the load from its "Sensor" descendants.
class SensorWalk
{
public:
    // One element as the rules read it: its tag and four attributes, empty when absent.
    struct Element
    {
        QStringView tag;
        QStringView name;
        QStringView hardwareType;
        QStringView sensorType;
        QStringView value;
    };

    // `figures` is what the rules start from: a field that no rule touches keeps its value.
    explicit SensorWalk(const ST_VOVIREDO_DATA& figures);

    void start(const Element& element);
    void end();

    bool rootIsComputer() const { return mRootIsComputer; }
    const ST_VOVIREDO_DATA& figures() const { return mFigures; }
    // Every sensor of kind "Temperature", "Fan" or "Load", for the dashboard's selectors.
    const QVector<ST_SENSOR_READING>& temperatures() const { return mTemperatures; }
    const QVector<ST_SENSOR_READING>& fans() const { return mFans; }
    const QVector<ST_SENSOR_READING>& loads() const { return mLoads; }

    // Reads `text` as strict XML and walks it. False when it is not well-formed or nests deeper than 64 elements.
    static bool walkText(const QString& text, SensorWalk* walk);
    // Walks a document the DOM parser took.
    static void walkDocument(const QDomDocument& document, SensorWalk* walk);

    // One step of a rule's chain: the first candidate named `name` (exactly, when `type` is given and the candidate's
    // kind contains it; anywhere in its name otherwise) whose reading is above `above`.
    struct Step
    {
        QStringView name;
        QStringView type;
        int above;
        bool matches(const Element& element, int* reading) const;
    };
    // Integer part of a reading; anything that does not convert counts as 0.
    static int readingOf(QStringView text);

private:
    struct Found
    {
        bool found = false;
        int value = 0;
    };
    // The first match of each step of a chain, as the candidates come.
    template<std::size_t N>
    struct Chain
    {
        std::array<Found, N> steps {};
        void offer(const std::array<Step, N>& rules, const Element& element);
        // The first step that found something, in chain order.
        Found result(std::size_t from, std::size_t to) const;
    };
    struct Outcome
    {
        enum class Kind : quint8 { SubComponent, Cpu } kind;
        Found first;  // the fan, or the CPU's temperature
        Found second; // the temperature, or the load
    };
    struct OpenComponent
    {
        bool isCpu = false;
        std::array<int, 2> subCounts {};
        std::array<Chain<9>, 2> firstSub {};
        Chain<5> cpu;
        // Outcomes of the components inside this one, in document order: they come after this one's own.
        QVector<Outcome> inner;
    };
    struct OpenSub
    {
        int tag = 0;
        Chain<9> children;
        // Open components, by position, whose first sub-component of this tag this one is.
        QVector<int> firstFor;
    };
    enum class Kind : quint8 { Other, Component, Sub };

    void closeComponent();
    void apply(const Outcome& outcome);
    void offerChoice(const Element& element);

    ST_VOVIREDO_DATA mFigures;
    bool mTempOk = false;
    bool mRootIsComputer = false;
    bool mSeenRoot = false;
    QVector<Kind> mOpen;
    QVector<OpenComponent> mComponents;
    QVector<OpenSub> mSubs;
    // The Name of every open element: a sensor's entry is named after the element it sits in.
    QVector<QString> mNames;
    QVector<ST_SENSOR_READING> mTemperatures;
    QVector<ST_SENSOR_READING> mFans;
    QVector<ST_SENSOR_READING> mLoads;
    // How often each entry's text came, to number the later ones.
    QHash<QString, int> mTextCounts;
};

#endif // ORVANE_SENSORWALK_H
