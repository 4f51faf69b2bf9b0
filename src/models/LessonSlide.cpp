#include "models/LessonSlide.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const LessonSlide& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "id", value.id);
    JsonFields::set(json, "label", value.label);
    JsonFields::set(json, "imageFile", value.imageFile);
}

void from_json(const nlohmann::json& json, LessonSlide& value) {
    JsonFields::expectObject(json);
    value.id = JsonFields::required<QString>(json, "id");
    value.label = JsonFields::required<QString>(json, "label");
    value.imageFile = JsonFields::required<QString>(json, "imageFile");
}
