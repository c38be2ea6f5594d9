// The article export file: written by the export half of PublishArticles, sent by its upload half.
#pragma once

#include "platform/shop_folder.h"

namespace catpub::publish {

// "C:\orbis\articoli.csv", and the text that holds it.
inline constexpr auto kExportPathText = platform::InShopFolder("articoli.csv");
inline constexpr const char* kExportPath = kExportPathText.data();

}  // namespace catpub::publish
