#include "workflows/Record.h"

#include "app/KVX_Configurator.h"
#include "ui_KVX_Configurator.h"
#include "workflows/ConfigFile.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QSaveFile>
#include <QStatusBar>
#include <QSysInfo>
#include <QTextDocument>

#include <algorithm>
#include <cstdlib>
#include <utility>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace kvx {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("Record", text);
}

const QString kPdfSuffix = QStringLiteral("pdf");
// Beside a value the form cannot show.
const QString kMark = QStringLiteral("\u2020");

QString utcText(const QDateTime& t) {
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral(" UTC");
}

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

// The account the program runs under.
QString loginName() {
#ifdef Q_OS_UNIX
    if (const passwd* account = getpwuid(geteuid()))
        return QString::fromLocal8Bit(account->pw_name);
#endif
    for (const char* variable : {"USERNAME", "USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return tr("unknown");
}

// A number in the form's words with its unit after it.
QString withUnit(const Setting& s, const QString& words) {
    bool number = false;
    words.toDouble(&number);
    return number && !s.unit.isEmpty() ? words + QLatin1Char(' ') + s.unit : words;
}

const char* const kTableStart = "<table width=\"100%\" border=\"1\" cellspacing=\"0\" "
                                "cellpadding=\"2\" style=\"border-collapse: collapse; "
                                "border-color: #8c8c8c\">";

// A table: its title across it and its heading row (repeated on each page
// it runs onto), then `rows`; `widths` in percent, one per column.
QString table(const QList<int>& widths, const QList<QStringList>& rows,
              const QStringList& heads = {}, const QString& title = {}) {
    QString html = QLatin1String(kTableStart);
    if (!title.isEmpty() || !heads.isEmpty()) {
        html += QStringLiteral("<thead>");
        if (!title.isEmpty())
            html += QStringLiteral("<tr><th colspan=\"%1\" style=\"background-color: #c4c4c4\">"
                                   "%2</th></tr>")
                        .arg(widths.size())
                        .arg(title);
        if (!heads.isEmpty()) {
            html += QStringLiteral("<tr>");
            for (int i = 0; i < heads.size(); ++i)
                html +=
                    QStringLiteral("<th width=\"%1%\">%2</th>").arg(widths.value(i)).arg(heads[i]);
            html += QStringLiteral("</tr>");
        }
        html += QStringLiteral("</thead>");
    }
    for (int r = 0; r < rows.size(); ++r) {
        html += QStringLiteral("<tr>");
        for (int i = 0; i < rows[r].size(); ++i)
            html += r == 0 ? QStringLiteral("<td width=\"%1%\">%2</td>")
                                 .arg(widths.value(i))
                                 .arg(rows[r][i])
                           : QStringLiteral("<td>%1</td>").arg(rows[r][i]);
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString bold(const QString& text) {
    return QStringLiteral("<b>%1</b>").arg(esc(text));
}

QString clockText(const SessionNotes& notes) {
    if (!notes.clock)
        return tr("not read in this session");
    const ClockReading& c = *notes.clock;
    const QString how = c.how == ClockReading::How::Set    ? tr("set with Set RTC and read back")
                        : c.how == ClockReading::How::Read ? tr("read with Read RTC")
                                                           : tr("read with the configuration");
    if (!c.instrument.isValid())
        return tr("held no valid date when %1 at %2").arg(how, utcText(c.computer));
    // The instrument counts whole seconds: the computer's time is taken to
    // the second too, as printed. A second apart is within what the two
    // readings can tell (Set RTC itself sends whole seconds).
    const QDateTime computer = c.computer.addMSecs(-c.computer.time().msec());
    const qint64 apart = computer.secsTo(c.instrument);
    const QString difference = std::abs(apart) <= 1 ? tr("agrees with the computer within 1 s")
                               : apart > 0          ? tr("%1 s ahead of the computer").arg(apart)
                                                    : tr("%1 s behind the computer").arg(-apart);
    return tr("%1 when the computer's UTC was %2: %3 (%4)")
        .arg(utcText(c.instrument), utcText(computer), difference, how);
}

struct Board {
    const char* name;
    const char* type; // as the instrument's board list names it
    QLineEdit* box;
};

QString instrumentSection(const KVX_Configurator& w) {
    const Board boards[] = {{"Main board", "Main", w.ui->kvxIDBox},
                            {"Gas board", "Gas", w.ui->gasIDBox},
                            {"Pump A", "Filter", w.ui->pumpAIDBox},
                            {"Pump B", "Filter", w.ui->pumpBIDBox},
                            {"Pumps C & D", "Sorbent", w.ui->pumpsCDIDBox}};
    QList<QStringList> rows;
    for (const Board& b : boards)
        if (!b.box->isHidden())
            rows.append({esc(tr(b.name)), esc(tr(b.type)), esc(b.box->text())});
    return QStringLiteral("<h2>%1</h2>").arg(tr("Instrument")) +
           table({24, 16, 60}, rows, {tr("Board"), tr("Type"), tr("Identifier")}) +
           QStringLiteral("<p></p>") +
           table({24, 76}, {{bold(tr("Firmware level")), QString::number(w.firmwareLevel)},
                            {bold(tr("Instrument clock")), esc(clockText(*w.notes))}});
}

QString identifiersSection(const QList<std::pair<const Setting*, QString>>& settings) {
    QList<QStringList> rows;
    for (const auto& [s, words] : settings)
        if (s->perInstrument)
            rows.append({bold(s->key == QLatin1String("main.sample_id")
                                  ? s->caption
                                  : QStringLiteral("%1 \u203a %2").arg(s->page, s->caption)),
                         esc(words)});
    if (rows.isEmpty())
        return QString();
    return QStringLiteral("<h2>%1</h2>").arg(tr("Sample and cartridges")) + table({24, 76}, rows);
}

QString writeSection(const SessionNotes& notes) {
    QString html = QStringLiteral("<h2>%1</h2>").arg(tr("Last write of this session"));
    if (!notes.lastWrite)
        return html + QStringLiteral("<p>%1</p>").arg(tr("No write in this session"));
    const ConfirmedWrite& write = *notes.lastWrite;
    const qsizetype n = write.changes.size();
    const QString when = utcText(write.finished);
    html +=
        QStringLiteral("<p>%1</p>")
            .arg(n == 0 ? tr("Confirmed by the instrument at %1; it changed no setting: the "
                             "instrument already held every value.")
                              .arg(when)
                 : n == 1 ? tr("Confirmed by the instrument at %1; it changed 1 setting:").arg(when)
                          : tr("Confirmed by the instrument at %1; it changed %2 settings:")
                                .arg(when)
                                .arg(n));
    if (n == 0)
        return html;
    QList<QStringList> rows;
    for (const SettingChange& c : write.changes)
        rows.append({esc(QStringLiteral("%1 \u203a %2").arg(c.setting->page, c.setting->caption)),
                     esc(withUnit(*c.setting, c.was)), esc(withUnit(*c.setting, c.now))});
    return html + table({40, 30, 30}, rows, {tr("Setting"), tr("Before"), tr("After")});
}

QString fingerprintSection(const QByteArray& fingerprint, int settingCount) {
    return QStringLiteral("<h2>%1</h2>").arg(tr("Fingerprint")) +
           QStringLiteral("<p>%1</p><p class=\"fingerprint\">SHA-256 %2</p>")
               .arg(tr("The SHA-256 of the %1 settings of this record as a configuration file "
                       "(.kvxcfg) holds them: a file saved from this instrument without unwritten "
                       "changes has the same fingerprint.")
                        .arg(settingCount),
                    QString::fromLatin1(fingerprint));
}

QString settingsSection(const KVX_Configurator& w,
                        const QList<std::pair<const Setting*, QString>>& settings) {
    // Page by page, in the order the pages first appear in the catalogue;
    // the logging boxes of a page gathered in two rows.
    struct Page {
        QString title;
        QList<QStringList> rows;
        QStringList logged;
        QStringList notLogged;
    };
    QList<Page> pages;
    bool anyMarked = false;
    for (const auto& [s, words] : settings) {
        if (s->perInstrument)
            continue;
        auto page = std::find_if(pages.begin(), pages.end(),
                                 [s = s](const Page& p) { return p.title == s->page; });
        if (page == pages.end())
            page = pages.insert(pages.end(), Page{s->page, {}, {}, {}});
        if (s->kind == SettingKind::Bit) {
            (words == switchText(true) ? page->logged : page->notLogged) << s->caption;
            continue;
        }
        // A value the form showed otherwise after the read is marked.
        const std::optional<QString> shown = w.changes->capturedText(*s);
        const bool marked = shown && *shown != words;
        anyMarked = anyMarked || marked;
        page->rows.append({esc(s->caption), esc(withUnit(*s, words)) +
                                                (marked ? QLatin1Char(' ') + kMark : QString())});
    }
    QString html = QStringLiteral("<h2>%1</h2>").arg(tr("Settings as the instrument holds them"));
    if (anyMarked)
        html += QStringLiteral("<p>%1 %2</p>")
                    .arg(kMark, tr("The form cannot show this value; it is given as the "
                                   "instrument holds it, and a write that leaves it unedited "
                                   "keeps it."));
    for (const Page& p : pages) {
        QList<QStringList> rows = p.rows;
        if (!p.logged.isEmpty())
            rows.append({tr("Logged"), esc(p.logged.join(QStringLiteral(", ")))});
        if (!p.notLogged.isEmpty())
            rows.append({tr("Not logged"), esc(p.notLogged.join(QStringLiteral(", ")))});
        html += QStringLiteral("<p></p>") + table({36, 64}, rows, {}, esc(p.title));
    }
    return html;
}

const char* const kStyle = "h1 { font-size: 16pt; margin-bottom: 6px; }"
                           "h2 { font-size: 11pt; margin-top: 14px; margin-bottom: 4px; }"
                           "p { margin-top: 0; margin-bottom: 3px; }"
                           "th { background-color: #e3e3e3; text-align: left; }"
                           ".fingerprint { font-family: 'DejaVu Sans Mono', monospace; }";

struct Printed {
    QString html;
    QString footer;
};

Printed compose(const KVX_Configurator& w) {
    const QDateTime made = QDateTime::fromMSecsSinceEpoch(w.nowMs(), Qt::UTC);
    const QList<std::pair<const Setting*, QString>> settings = fileSettings(w, false);
    const QByteArray fingerprint = settingsFingerprint(settingsObject(w, false));
    const QString program = QStringLiteral("KVX Configurator ") + w.ui->versionLabel->text();
    const int unwritten = w.changes->count();
    const QList<QStringList> madeBy = {
        {bold(tr("Made")), made.toString(Qt::ISODate), bold(tr("Computer")),
         esc(QSysInfo::machineHostName())},
        {bold(tr("Program")), esc(program), bold(tr("User")), esc(loginName())}};
    const QString unwrittenNote =
        unwritten == 0 ? QString()
        : unwritten == 1
            ? tr("This record shows the instrument: 1 change in the form was not written to it "
                 "and is not in this record.")
            : tr("This record shows the instrument: %1 changes in the form were not written to "
                 "it and are not in this record.")
                  .arg(unwritten);
    Printed printed;
    printed.html =
        QStringLiteral("<h1>%1</h1>").arg(tr("KVXv2 configuration record")) +
        table({14, 36, 14, 36}, madeBy) +
        (unwrittenNote.isEmpty() ? QString()
                                 : QStringLiteral("<p><b>%1</b></p>").arg(unwrittenNote)) +
        instrumentSection(w) + identifiersSection(settings) + writeSection(*w.notes) +
        fingerprintSection(fingerprint, int(settings.size())) + settingsSection(w, settings);
    const QString main = w.ui->kvxIDBox->isHidden() ? QString() : w.ui->kvxIDBox->text();
    printed.footer = tr("KVXv2 configuration record") +
                     (main.isEmpty() ? QString() : QStringLiteral(" \u00b7 ") + main) +
                     QStringLiteral(" \u00b7 ") + made.toString(Qt::ISODate);
    return printed;
}

// Lays the document out on A4 pages and paints them, each with its footer.
bool print(const Printed& printed, const QString& program, QIODevice* device, QString* why) {
    QPdfWriter pdf(device);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(16, 12, 16, 10), QPageLayout::Millimeter));
    pdf.setResolution(300);
    pdf.setTitle(tr("KVXv2 configuration record"));
    pdf.setCreator(program);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    // No ligatures: the PDF's text reads back (copied, searched) as it was written.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(8.5);
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&pdf);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QLatin1String(kStyle));
    doc.setDocumentMargin(0);
    doc.setHtml(printed.html);

    QFont small = font;
    small.setPointSizeF(7);
    const QFontMetricsF metrics(small, &pdf);
    const QRectF area = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const QSizeF body(area.width(), area.height() - 2 * metrics.height());
    doc.setPageSize(body);

    QPainter painter;
    if (!painter.begin(&pdf)) {
        *why = device->errorString().isEmpty() ? tr("the PDF could not be started")
                                               : device->errorString();
        return false;
    }
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            pdf.newPage();
        painter.save();
        painter.translate(0, -i * body.height());
        context.clip = QRectF(QPointF(0, i * body.height()), body);
        painter.setClipRect(context.clip);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(small);
        painter.setPen(Qt::black);
        const QRectF line(0, area.height() - metrics.height(), area.width(), metrics.height());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, printed.footer);
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                         tr("Page %1 of %2").arg(i + 1).arg(pages));
    }
    if (!painter.end()) {
        *why = tr("the PDF could not be finished");
        return false;
    }
    return true;
}

} // namespace

void noteClock(KVX_Configurator& w, ClockReading::How how) {
    ClockReading reading;
    reading.how = how;
    reading.instrument = w.responseImage.readClockDateTime(2);
    reading.computer = QDateTime::fromMSecsSinceEpoch(w.nowMs(), Qt::UTC);
    w.notes->clock = reading;
}

void noteWriteStarted(KVX_Configurator& w) {
    SessionNotes& notes = *w.notes;
    notes.beforeWrite.clear();
    for (const Setting& s : settingCatalogue()) {
        if (s.written() && s.kind != SettingKind::Reserved && w.changes->applies(s))
            notes.beforeWrite.append({&s, w.changes->instrumentText(s).value_or(QString())});
    }
}

void noteWriteConfirmed(KVX_Configurator& w) {
    SessionNotes& notes = *w.notes;
    ConfirmedWrite write;
    write.finished = QDateTime::fromMSecsSinceEpoch(w.nowMs(), Qt::UTC);
    // What the instrument confirmed it stored, against what it held before.
    for (const auto& [s, before] : std::as_const(notes.beforeWrite)) {
        const QString after = w.changes->instrumentText(*s).value_or(QString());
        if (after != before)
            write.changes.append({s, before, after});
    }
    notes.beforeWrite.clear();
    notes.lastWrite = write;
}

QByteArray settingsFingerprint(const QJsonObject& settings) {
    return QCryptographicHash::hash(QJsonDocument(settings).toJson(QJsonDocument::Compact),
                                    QCryptographicHash::Sha256)
        .toHex();
}

bool saveRecord(KVX_Configurator& w, const QString& path, QString* why) {
    QString reason;
    bool saved = false;
    if (!w.canStartWorkflow()) {
        reason = tr("no instrument is connected and idle");
    } else {
        const Printed printed = compose(w);
        // Written whole under another name and then renamed: a failed save
        // leaves no part of a record, and an older file of that name as it was.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            reason = file.errorString();
        else if (!print(printed, QStringLiteral("KVX Configurator ") + w.ui->versionLabel->text(),
                        &file, &reason))
            file.cancelWriting();
        else if (!file.commit())
            reason = file.errorString();
        else
            saved = true;
    }
    if (why)
        *why = reason;
    return saved;
}

void askAndSaveRecord(KVX_Configurator& w) {
    if (!w.canStartWorkflow())
        return;
    const QString main =
        w.ui->kvxIDBox->text().isEmpty() ? QStringLiteral("KVXv2") : w.ui->kvxIDBox->text();
    QPointer<QFileDialog> dialog =
        new QFileDialog(&w, tr("Save Record"), QString(), tr("PDF documents (*.pdf)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // Added before the dialog asks whether to replace a file, so that it asks
    // about the file that is written.
    dialog->setDefaultSuffix(kPdfSuffix);
    dialog->selectFile(main + QStringLiteral(" record.") + kPdfSuffix);
    const int result = dialog->exec();
    if (!dialog)
        return; // the window went while the dialog was open
    const QString path = dialog->selectedFiles().value(0);
    delete dialog;
    if (result == QDialog::Accepted && !path.isEmpty())
        w.saveRecordTo(path);
}

} // namespace kvx

bool KVX_Configurator::saveRecordTo(const QString& path) {
    if (!canStartWorkflow())
        return false;
    changes->refresh();
    const int unwritten = changes->count();
    if (unwritten > 0) {
        const QMessageBox::StandardButton answer = askYesNo(
            tr("Save Record"),
            unwritten == 1 ? tr("The record shows the instrument, not the 1 unwritten change. "
                                "Save the record anyway?")
                           : tr("The record shows the instrument, not the %1 unwritten changes. "
                                "Save the record anyway?")
                                 .arg(unwritten));
        if (answer == QMessageBox::Cancel)
            return false; // the window is gone
        if (answer != QMessageBox::Yes || !canStartWorkflow())
            return false;
    }
    const QString name = QFileInfo(path).fileName();
    QString why;
    if (!kvx::saveRecord(*this, path, &why)) {
        statusBar()->showMessage(tr("Could not save %1: %2").arg(name, why));
        kvx::tell(*this, QMessageBox::Warning, tr("Save Record"),
                  tr("Could not save the record to %1.").arg(QDir::toNativeSeparators(path)),
                  tr("%1. A file of that name that was there before is as it was.").arg(why));
        return false;
    }
    statusBar()->showMessage(tr("Saved the record %1.").arg(name));
    return true;
}
