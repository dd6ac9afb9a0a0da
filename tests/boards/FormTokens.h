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

// The property a token's value stands for.
inline const char* valueProperty(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) ? "checked"
           : qobject_cast<const QLineEdit*>(w)     ? "text"
           : qobject_cast<const QComboBox*>(w)     ? "currentText"
           : qobject_cast<const QDateTimeEdit*>(w) ? "dateTime"
                                                   : "value";
}

inline QString valueOf(const QWidget* w) {
    const QVariant v = w->property(valueProperty(w));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(Qt::ISODate);
    return v.typeId() == QMetaType::Bool ? QString::number(v.toBool()) : v.toString();
}

// Calls f(name, op, value) per token; op is '=', '-', '+' or ' ' (click). A
// token "a{b,c}d" stands for "abd;acd".
inline void forEachToken(const QString& tokens,
                         const std::function<void(const QString&, QChar, const QString&)>& f) {
    for (const QString& token : tokens.split(';', Qt::SkipEmptyParts)) {
        const int open = token.indexOf('{'), close = token.indexOf('}');
        if (open >= 0) {
            for (const QString& part : token.mid(open + 1, close - open - 1).split(','))
                forEachToken(token.left(open) + part + token.mid(close + 1), f);
            continue;
        }
        const int eq = token.indexOf('=');
        const QChar op = eq >= 0                                          ? '='
                         : token.startsWith('-') || token.startsWith('+') ? token[0]
                                                                          : ' ';
        f(eq >= 0 ? token.left(eq) : op == ' ' ? token : token.mid(1), op, token.mid(eq + 1));
    }
}

inline void applyTokens(QWidget& root, const QString& tokens, const Special& special = {}) {
    forEachToken(tokens, [&](const QString& name, QChar op, const QString& value) {
        if (op == '=' && special && special(name, value))
            return;
        QWidget* w = root.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        auto* button = qobject_cast<QAbstractButton*>(w);
        auto* combo = qobject_cast<QComboBox*>(w);
        if (op == ' ') {
            QVERIFY2(button && button->isEnabled(), qPrintable(name));
            button->click();
        } else if (op != '=') {
            w->setEnabled(op == '+');
        } else if (combo) { // an unknown text selects no item
            combo->setCurrentIndex(combo->findText(value));
        } else {
            QVERIFY2(w->setProperty(valueProperty(w), value), qPrintable(name));
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
