// A configurator window for interlock tests: the fitted pages are enabled and
// added as discovery would, and controls are clicked with the mouse on the
// shown form, so only the form's own connections reach the slots.
#pragma once

#include "app/KVX_Configurator.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QMap>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QTimer>
#include <QtTest>

namespace kvx::test {

class Form {
public:
    Form() : w(rig.platform()), ui(*w.ui) {
        w.ticker->stop();
        w.show();
    }

    // Enables a board page and adds it to the tab row.
    void fit(QWidget* page) {
        page->setEnabled(true);
        if (ui.configuratorTabs->indexOf(page) < 0)
            ui.configuratorTabs->addTab(page, page->objectName());
    }

    // One left click on the button's indicator, with its page brought to the
    // front. Fails the test unless the click reached the button.
    void click(QAbstractButton* button) {
        QWidget* page = pageOf(button);
        QVERIFY2(page, qPrintable(button->objectName()));
        QVERIFY2(ui.configuratorTabs->indexOf(page) >= 0, qPrintable(page->objectName()));
        ui.configuratorTabs->setCurrentWidget(page);
        QVERIFY2(button->isVisible() && button->isEnabled(), qPrintable(button->objectName()));
        QStyleOptionButton option;
        option.initFrom(button);
        const auto indicator = qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonIndicator
                                                                   : QStyle::SE_CheckBoxIndicator;
        const QPoint at = button->style()->subElementRect(indicator, &option, button).center();
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton, {}, at);
        QVERIFY2(clicked.count() == 1, qPrintable(button->objectName()));
    }

    template <typename T> T* find(const QString& name) const {
        T* widget = w.findChild<T*>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }

    // Check state, enabled state (own and effective) and value of every
    // button, spin box and date-time edit under `root`, by object name.
    static QMap<QString, QString> snapshot(const QWidget* root) {
        QMap<QString, QString> states;
        const auto enabled = [](const QWidget* x) {
            return QString("%1%2").arg(x->isEnabled()).arg(x->testAttribute(Qt::WA_ForceDisabled));
        };
        for (const QAbstractButton* b : root->findChildren<QAbstractButton*>())
            states[b->objectName()] = enabled(b) + QString::number(b->isChecked());
        for (const QSpinBox* s : root->findChildren<QSpinBox*>())
            states[s->objectName()] = enabled(s) + QString::number(s->value());
        for (const QDateTimeEdit* e : root->findChildren<QDateTimeEdit*>())
            states[e->objectName()] = enabled(e) + e->dateTime().toString(Qt::ISODate);
        return states;
    }

    Rig rig;
    KVX_Configurator w;
    Ui_KVX_Configurator& ui;

private:
    QWidget* pageOf(const QWidget* widget) const {
        for (QWidget* page : {ui.Tab_Main, ui.Tab_Gas, ui.Tab_Alphasense, ui.Tab_Figaro,
                              ui.Tab_PumpA, ui.Tab_PumpB, ui.Tab_PumpC, ui.Tab_PumpD})
            if (page->isAncestorOf(widget))
                return page;
        return nullptr;
    }
};

} // namespace kvx::test
