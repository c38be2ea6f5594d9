// The article export file: written by the export half of PublishArticles, sent by its upload half.
#pragma once

namespace catpub::publish {

inline constexpr char kExportPath[] = "C:\\orbis\\articoli.csv";

}  // namespace catpub::publish
