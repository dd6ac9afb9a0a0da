// The logging-word rule over a stand-in for a check box.
#include "image/LoggingWord.h"

#include <QtTest>

#include <array>
#include <vector>

using namespace kvx;

namespace {

struct FakeBox {
    bool enabled = true;
    bool checked = false;
    int writes = 0;
    bool isEnabled() const { return enabled; }
    bool isChecked() const { return checked; }
    void setChecked(bool on) {
        checked = on;
        ++writes;
    }
};

} // namespace

class LoggingWordRule : public QObject {
    Q_OBJECT
private slots:

    void wordToBoxes() {
        FakeBox low, mid, top;
        low.checked = true;
        const std::array<LoggingBit<FakeBox>, 3> table{{{0, &low}, {7, &mid}, {31, &top}}};
        applyLoggingWord(0x80000080u | 0x7F00u, table); // bits 7 and 31, noise in 8..14
        QVERIFY(!low.checked);
        QVERIFY(mid.checked);
        QVERIFY(top.checked);
        applyLoggingWord(0x00000001u, table);
        QVERIFY(low.checked);
        QVERIFY(!mid.checked);
        QVERIFY(!top.checked);
    }

    void boxesToWord() {
        FakeBox a, b, c;
        a.checked = true;
        c.checked = true;
        const std::vector<LoggingBit<FakeBox>> table{{2, &a}, {5, &b}, {31, &c}};
        QCOMPARE(collectLoggingWord(table), quint32(0x80000004u));

        // Round trip through the boxes keeps exactly the bits that have a box.
        applyLoggingWord(0xFFFFFFFFu, table);
        QCOMPARE(collectLoggingWord(table), quint32(0x80000024u));
    }

    void disabledBoxesAreLeftAlone() {
        FakeBox on, off;
        on.enabled = false;
        on.checked = true;
        off.enabled = false;
        const std::array<LoggingBit<FakeBox>, 2> table{{{0, &on}, {1, &off}}};

        applyLoggingWord(0u, table);
        applyLoggingWord(0xFFFFFFFFu, table);
        QVERIFY(on.checked);
        QVERIFY(!off.checked);
        QCOMPARE(on.writes + off.writes, 0);
        // A checked but disabled box is never written.
        QCOMPARE(collectLoggingWord(table), quint32(0));
    }

    void oddTableEntries() {
        FakeBox box, stray;
        // Bits outside 0..31 and missing boxes are ignored, in both directions.
        applyLoggingWord<FakeBox>(0xFFFFFFFFu,
                                  {{-1, &stray}, {32, &stray}, {3, nullptr}, {4, &box}});
        QCOMPARE(stray.writes, 0);
        QVERIFY(box.checked);
        stray.checked = true;
        QCOMPARE(collectLoggingWord<FakeBox>({{-1, &stray}, {32, &stray}, {3, nullptr}, {4, &box}}),
                 quint32(0x10));
    }
};

QTEST_GUILESS_MAIN(LoggingWordRule)
#include "tst_logging_word.moc"
