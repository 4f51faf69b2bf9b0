#pragma once

#include <QString>

// Identifiers made from what a person typed or a file was called: what the
// tablet's pages and the stored files can carry without escaping.
namespace Slug {

// Lower case; every run of characters other than a-z and 0-9 becomes one
// "-"; no "-" at either end. Only punctuation gives the empty text.
QString slugify(const QString& text);

} // namespace Slug
