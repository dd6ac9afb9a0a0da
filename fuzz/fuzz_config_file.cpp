// Fuzz target for opening configuration files: the check that reads a file
// and decides whether it opens, without a window. Checked on every input:
// a refused file yields nothing; every value the check takes, saved again,
// reads back as the same words; and for every setting of the file the check
// takes its value exactly when the schema the program publishes does (the
// schema's own keywords judged here, each of those it uses). Broken
// invariants abort.
#include "workflows/ConfigFile.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace kvx;

namespace {

[[noreturn]] void fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "configuration file check broken: %s (%s)\n", what,
                 qPrintable(detail.left(300)));
    std::abort();
}

// The schema of each setting's value, by key (older names included).
const QJsonObject& settingSchemas() {
    static const QJsonObject schemas = configurationSchema()
                                           .value(QStringLiteral("properties"))
                                           .toObject()
                                           .value(QStringLiteral("settings"))
                                           .toObject()
                                           .value(QStringLiteral("properties"))
                                           .toObject();
    return schemas;
}

const QRegularExpression& compiled(const QString& pattern) {
    static QHash<QString, QRegularExpression> cache;
    auto it = cache.find(pattern);
    if (it == cache.end())
        it = cache.insert(pattern, QRegularExpression(pattern));
    return *it;
}

// Whether `schema` takes `v`, as JSON Schema says: `pattern` searches the
// text, `maxLength` counts characters, bounds and lengths hold for numbers
// and texts only.
bool takes(const QJsonObject& schema, const QJsonValue& v) {
    for (auto it = schema.begin(); it != schema.end(); ++it) {
        const QString keyword = it.key();
        const QJsonValue arg = it.value();
        bool ok = true;
        if (keyword == QLatin1String("type")) {
            const QString type = arg.toString();
            ok = type == QLatin1String("boolean")  ? v.isBool()
                 : type == QLatin1String("string") ? v.isString()
                 : type == QLatin1String("number") ? v.isDouble()
                 : type == QLatin1String("integer")
                     ? v.isDouble() && std::floor(v.toDouble()) == v.toDouble()
                     : (fail("a type not judged here", type), false);
        } else if (keyword == QLatin1String("minimum")) {
            ok = !v.isDouble() || v.toDouble() >= arg.toDouble();
        } else if (keyword == QLatin1String("maximum")) {
            ok = !v.isDouble() || v.toDouble() <= arg.toDouble();
        } else if (keyword == QLatin1String("maxLength")) {
            ok = !v.isString() || v.toString().toUcs4().size() <= arg.toInt();
        } else if (keyword == QLatin1String("pattern")) {
            ok = !v.isString() || compiled(arg.toString()).match(v.toString()).hasMatch();
        } else if (keyword == QLatin1String("not")) {
            ok = !takes(arg.toObject(), v);
        } else if (keyword == QLatin1String("enum")) {
            ok = arg.toArray().contains(v);
        } else if (keyword == QLatin1String("anyOf")) {
            ok = false;
            for (const QJsonValue& one : arg.toArray())
                ok = ok || takes(one.toObject(), v);
        } else if (keyword != QLatin1String("description") &&
                   keyword != QLatin1String("deprecated")) {
            fail("a keyword not judged here", keyword);
        }
        if (!ok)
            return false;
    }
    return true;
}

QString shown(const QJsonValue& v) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CheckedConfiguration file = checkConfiguration(bytes);
    if (!file.problem.isEmpty() &&
        (!file.values.isEmpty() || !file.unknown.isEmpty() || !file.instrumentOwn.isEmpty()))
        fail("a refused file yields values", file.problem);
    for (const auto& [setting, words] : file.values) {
        if (!setting->written() || setting->controls.isEmpty())
            fail("a value taken for a setting no control shows", setting->key);
        QString problem;
        if (wordsOf(*setting, fileValue(*setting, words), &problem) != words)
            fail("words saved and read again differ", setting->key + QStringLiteral(": ") + words);
    }

    const QJsonValue settings =
        QJsonDocument::fromJson(bytes).object().value(QStringLiteral("settings"));
    const QJsonObject values = settings.toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QJsonValue schema = settingSchemas().value(it.key());
        const Setting* setting = findSetting(presentKey(it.key()));
        if (schema.isUndefined()) {
            // Keys the schema lets through whatever they hold: unknown ones
            // and values only the instrument sets.
            if (setting && setting->written() && setting->kind != SettingKind::Reserved &&
                !setting->controls.isEmpty())
                fail("a setting the schema lacks", it.key());
            continue;
        }
        if (!setting)
            fail("a key of the schema the program does not know", it.key());
        const bool program = wordsOf(*setting, it.value(), nullptr).has_value();
        if (program != takes(schema.toObject(), it.value()))
            fail(program ? "a value the program takes and the schema refuses"
                         : "a value the schema takes and the program refuses",
                 it.key() + QStringLiteral(" = ") + shown(it.value()));
    }
    return 0;
}
