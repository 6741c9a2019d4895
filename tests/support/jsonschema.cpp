#include "support/jsonschema.h"

#include <QJsonArray>
#include <cmath>

namespace vadrelon::test {

namespace {

QString typeOf(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("boolean");
    case QJsonValue::Double:
        return QStringLiteral("number");
    case QJsonValue::String:
        return QStringLiteral("string");
    case QJsonValue::Array:
        return QStringLiteral("array");
    case QJsonValue::Object:
        return QStringLiteral("object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("undefined");
}

bool hasType(const QJsonValue &v, const QString &type)
{
    if (type == QLatin1String("integer"))
        return v.isDouble() && std::floor(v.toDouble()) == v.toDouble();
    return typeOf(v) == type;
}

void check(const QJsonValue &v, QJsonObject schema, const QJsonObject &root, const QString &at, QStringList &out)
{
    static const QStringList known{"$ref",  "type",    "enum",    "properties", "required", "additionalProperties",
                                   "items", "minimum", "maximum", "description"};
    for (const QString &key : schema.keys())
        if (!known.contains(key))
            out << QStringLiteral("%1: the checker does not know \"%2\"").arg(at, key);
    if (schema.contains(QLatin1String("$ref"))) {
        const QString ref = schema[QLatin1String("$ref")].toString();
        const QString prefix = QStringLiteral("#/$defs/");
        if (!ref.startsWith(prefix) || !root[QLatin1String("$defs")].toObject().contains(ref.mid(prefix.size()))) {
            out << QStringLiteral("%1: no definition %2").arg(at, ref);
            return;
        }
        check(v, root[QLatin1String("$defs")].toObject()[ref.mid(prefix.size())].toObject(), root, at, out);
        return;
    }
    if (schema.contains(QLatin1String("type"))) {
        const QJsonValue type = schema[QLatin1String("type")];
        QStringList types;
        if (type.isArray())
            for (const QJsonValue &t : type.toArray())
                types << t.toString();
        else
            types << type.toString();
        bool any = false;
        for (const QString &t : types)
            any = any || hasType(v, t);
        if (!any) {
            out << QStringLiteral("%1: %2 is not %3").arg(at, typeOf(v), types.join(QStringLiteral(" or ")));
            return;
        }
    }
    if (schema.contains(QLatin1String("enum")) && !schema[QLatin1String("enum")].toArray().contains(v))
        out << QStringLiteral("%1: %2 is none of the values allowed").arg(at, v.toVariant().toString());
    if (v.isDouble()) {
        if (schema.contains(QLatin1String("minimum")) && v.toDouble() < schema[QLatin1String("minimum")].toDouble())
            out << QStringLiteral("%1: %2 is below the minimum").arg(at).arg(v.toDouble());
        if (schema.contains(QLatin1String("maximum")) && v.toDouble() > schema[QLatin1String("maximum")].toDouble())
            out << QStringLiteral("%1: %2 is above the maximum").arg(at).arg(v.toDouble());
    }
    if (v.isObject()) {
        const QJsonObject object = v.toObject();
        const QJsonObject properties = schema[QLatin1String("properties")].toObject();
        for (const QJsonValue &name : schema[QLatin1String("required")].toArray())
            if (!object.contains(name.toString()))
                out << QStringLiteral("%1: \"%2\" is missing").arg(at, name.toString());
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (properties.contains(it.key()))
                check(it.value(), properties[it.key()].toObject(), root, at + QLatin1Char('/') + it.key(), out);
            else if (schema[QLatin1String("additionalProperties")] == QJsonValue(false))
                out << QStringLiteral("%1: \"%2\" is not in the schema").arg(at, it.key());
        }
    }
    if (v.isArray() && schema.contains(QLatin1String("items"))) {
        const QJsonArray items = v.toArray();
        for (int i = 0; i < items.size(); ++i)
            check(items[i], schema[QLatin1String("items")].toObject(), root, at + QLatin1Char('/') + QString::number(i),
                  out);
    }
}

} // namespace

QStringList schemaViolations(const QJsonValue &value, const QJsonObject &schema, const QJsonObject &root)
{
    QStringList out;
    check(value, schema, root, QString(), out);
    return out;
}

} // namespace vadrelon::test
