// Platform pieces for tests: a clock that moves only when told, a port list
// the test sets, and a script that answers the window's message boxes.
#pragma once

#include "app/KVX_Configurator.h"
#include "link/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace kvx::test {

class FakeClock : public Clock {
public:
    // `ms` is shared with the test after the clock is handed to the window.
    explicit FakeClock(std::shared_ptr<qint64> ms = std::make_shared<qint64>(1'700'000'000'000))
        : ms(std::move(ms)) {}
    qint64 nowMs() const override { return *ms; }
    // Follows every step forward of the wall time (ticks, sleeps) and stands
    // still when the wall time is set back.
    qint64 elapsedMs() const override {
        monotonic += std::max<qint64>(0, *ms - std::exchange(lastWall, *ms));
        return monotonic;
    }
    void sleepMs(int d) override { *ms += d; }
    const std::shared_ptr<qint64> ms;

private:
    mutable qint64 lastWall = *ms;
    mutable qint64 monotonic = 0;
};

// A data row packed in one string, "name|field|field|...": its fields go in
// the row's one column, a QStringList named "fields".
inline void packedRow(const QString& row) {
    const QStringList fields = row.split('|');
    QTest::newRow(qPrintable(fields[0])) << fields.mid(1);
}

class ListedPorts : public PortSource {
public:
    explicit ListedPorts(std::shared_ptr<QStringList> names) : names(std::move(names)) {}
    QStringList availablePorts() override { return *names; }
    std::shared_ptr<QStringList> names;
};

// Answers the modal message boxes that show up, one answer each, in order, and
// keeps the title and text of each box it answered. A box beyond the script
// gets `thereafter`, so that a test never hangs.
class DialogScript : public QObject {
public:
    explicit DialogScript(QList<QMessageBox::StandardButton> answers,
                          QMessageBox::StandardButton thereafter = QMessageBox::No)
        : answers(std::move(answers)), thereafter(thereafter) {
        QObject::connect(&timer, &QTimer::timeout, this, [this] { poll(); });
        timer.start(2);
    }

    QStringList titles;
    QStringList texts;
    QStringList informative; // Qt's informative and detailed texts
    QStringList details;
    // Runs while box number `index` (from 0) is open, just before it is answered.
    std::function<void(int index)> beforeAnswer;
    // How long each box stays open before it is answered (the event loop runs).
    int holdMs = 0;
    int answered() const { return int(titles.size()); }

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box != shown) {
            shown = box;
            openFor.start();
        }
        if (openFor.elapsed() < holdMs)
            return;
        shown = nullptr;
        titles.append(box->windowTitle());
        texts.append(box->text());
        informative.append(box->informativeText());
        details.append(box->detailedText());
        if (beforeAnswer)
            beforeAnswer(answered() - 1);
        box->button(answers.isEmpty() ? thereafter : answers.takeFirst())->click();
    }

    QList<QMessageBox::StandardButton> answers;
    QMessageBox::StandardButton thereafter;
    QTimer timer;
    QPointer<QMessageBox> shown;
    QElapsedTimer openFor;
};

} // namespace kvx::test
