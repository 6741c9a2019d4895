#pragma once
// A small checker for the part of JSON Schema that the command's documented schema uses:
// type (one or several), enum, properties, required, additionalProperties: false, items,
// minimum, maximum and local "$ref"s into "$defs". What it does not know it refuses, so that
// the schema cannot quietly say more than is checked.
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

namespace vadrelon::test {

// Every way value breaks the schema, one line each with its place ("/parameters/3/unit");
// empty when it conforms.
QStringList schemaViolations(const QJsonValue &value, const QJsonObject &schema, const QJsonObject &root);

} // namespace vadrelon::test
