// Widget states written as short tokens, for tables of form cases:
// "name=value" (check state 1/0, text, current item, number or UTC time),
// "-name" and "+name" (disabled, enabled) and a bare "name" (clicked).
#pragma once

#include <QtTest>
#include <QtWidgets>

#include <functional>

namespace kvx::test {

// Takes a "name=value" token meant for something other than a widget.
using Special = std::function<bool(const QString& name, const QString& value)>;

inline QString valueOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return QString::number(b->isChecked());
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    if (auto* d = qobject_cast<const QDateTimeEdit*>(w))
        return d->dateTime().toString(Qt::ISODate);
    return QString::number(w->property("value").toDouble());
}

// Calls f(name, op, value) per token; op is '=', '-', '+' or ' ' (click).
inline void forEachToken(const QString& tokens,
                         const std::function<void(const QString&, QChar, const QString&)>& f) {
    for (const QString& token : tokens.split(';', Qt::SkipEmptyParts)) {
        const int eq = token.indexOf('=');
        if (eq >= 0)
            f(token.left(eq), '=', token.mid(eq + 1));
        else if (token.startsWith('-') || token.startsWith('+'))
            f(token.mid(1), token.at(0), QString());
        else
            f(token, ' ', QString());
    }
}

inline void applyTokens(QWidget& root, const QString& tokens, const Special& special = {}) {
    forEachToken(tokens, [&](const QString& name, QChar op, const QString& value) {
        if (op == '=' && special && special(name, value))
            return;
        QWidget* w = root.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (op == ' ') {
            QVERIFY2(button && button->isEnabled(), qPrintable(name));
            button->click();
        } else if (op != '=') {
            w->setEnabled(op == '+');
        } else if (button) {
            button->setChecked(value == "1");
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            c->setCurrentIndex(c->findText(value));
        } else if (auto* d = qobject_cast<QDateTimeEdit*>(w)) {
            d->setDateTime(QDateTime::fromString(value, Qt::ISODate));
        } else {
            w->setProperty(qobject_cast<QLineEdit*>(w) ? "text" : "value", value);
        }
    });
}

inline void verifyTokens(const QWidget& root, const QString& tokens, const Special& special = {}) {
    forEachToken(tokens, [&](const QString& name, QChar op, const QString& value) {
        if (op == '=' && special && special(name, value))
            return;
        const QWidget* w = root.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        if (op == '=')
            QCOMPARE(name + '=' + valueOf(w), name + '=' + value);
        else
            QVERIFY2(w->isEnabled() == (op == '+'), qPrintable(op + name));
    });
}

} // namespace kvx::test
