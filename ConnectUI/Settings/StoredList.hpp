#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

#include <optional>
#include <vector>

/// Lists kept in the settings under one key as one JSON array, as the paired devices and the watched
/// folders are.
namespace tarnwick::StoredList {

/// The stored list; empty when there is none or when any element does not decode, which makes the whole
/// stored value unusable. `decode` maps a JSON value to an optional element.
template <typename T, typename Decode>
std::vector<T> load(const QSettings& settings, const char* key, Decode decode) {
    const QJsonDocument document = QJsonDocument::fromJson(settings.value(key).toByteArray());
    std::vector<T> loaded;
    for (const QJsonValue& value : document.array()) {
        std::optional<T> element = decode(value);
        if (!element) {
            return {};
        }
        loaded.push_back(std::move(*element));
    }
    return loaded;
}

/// Replaces the stored list with `elements`, each made a JSON value by `encode`, and writes it out.
template <typename T, typename Encode>
void store(QSettings& settings, const char* key, const std::vector<T>& elements, Encode encode) {
    QJsonArray array;
    for (const auto& element : elements) {
        array.append(encode(element));
    }
    settings.setValue(key, QJsonDocument(array).toJson(QJsonDocument::Compact));
    settings.sync();
}

} // namespace tarnwick::StoredList
