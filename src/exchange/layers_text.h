// A layered sound as one line of text, for links and the clipboard:
//
//   qxl1~LAYER~LAYER...
//   LAYER = SETTINGS,SEED,BUFFER,START,GAIN[,m]
//
// SETTINGS is the layer's 105-byte settings record in base64url (RFC 4648,
// "-" and "_", no padding: 140 characters); SEED the random state before its
// render (1 to 4294967295), BUFFER its buffer length in whole seconds (1 to
// 60), START its offset in samples, GAIN its gain in decibels with one
// decimal ("-6.0", "12.0"; a "+" may lead), and ",m" marks a muted layer.
// Every character is one that a URL's fragment carries as it is.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "design/layered_sound.h"

namespace quavix {

inline constexpr std::string_view kLayersTextStart = "qxl1~";

// The words for a recipe's fields that cannot be used, as the project file
// and the layers' text both say them.
std::string SeedFieldProblem();    // "its seed is not a whole number from 1 to 4294967295"
std::string BufferFieldProblem();  // "its buffer length is not a whole number of seconds from 1 to 60"

// What keeps the layers from being written as text, in a person's words (""
// when nothing): what LayersProblem finds, or a random state of 0 or a buffer
// of 0 seconds, which the text does not carry. *badLayer as LayersProblem's.
std::string LayersTextProblem(std::span<const Layer> layers, int* badLayer);

// The text of layers that LayersTextProblem accepts.
std::string WriteLayersText(std::span<const Layer> layers);

struct LayersTextRead {
  std::vector<Layer> Layers;  // empty when Problem is not
  std::string Problem;        // "" when the text was read, else what is wrong, naming the layer
  int BadLayer = -1;          // the layer it concerns, -1 for the whole text
};

// Whether text, less the spaces and line ends around it, begins as a layers'
// text does (kLayersTextStart): how a reader tells it from other text.
bool StartsAsLayersText(std::string_view text);

// Reads a layers' text strictly: the start, 1 to kMaxLayers layers, each
// field exactly as written above, and then the layered sound's own rules
// (LayersProblem). Spaces and line ends around the text are ignored.
LayersTextRead ReadLayersText(std::string_view text);

}  // namespace quavix
