#include "app/outcome.h"

namespace catpub::app {
namespace {

struct StatusOf {
  ExitStatus operator()(const ConfigurationError&) const { return kConfigurationError; }
  ExitStatus operator()(const NothingToPublish&) const { return kSuccess; }
  ExitStatus operator()(const Published&) const { return kSuccess; }
  ExitStatus operator()(const UploadFailed&) const { return kUploadFailed; }
  ExitStatus operator()(const Fatal&) const { return kFatal; }
};

}  // namespace

ExitStatus ExitStatusOf(const Outcome& outcome) { return std::visit(StatusOf{}, outcome); }

}  // namespace catpub::app
