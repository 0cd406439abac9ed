#include "host/param_texts.h"

namespace quavix::host {

const std::array<SetterTexts, kParamCount> kSetterTexts = {{
    {.Text = "Set volume to %0", .Title = "Sound volume"},
    {.Text = "Set wave type to %0",
     .Title = "Wave type (0: Square wave, 1: Sawtooth, 2: Sine, 3: Noise)"},
    {.Text = "Set attack time to %0", .Title = "Attack time"},
    {.Text = "Set sustain time to %0", .Title = "Sustain time in seconds"},
    {.Text = "Set sustain punch to %0", .Title = "Sustain punch"},
    {.Text = "Set decay time to %0", .Title = "Decay time in seconds"},
    {.Text = "Set start frequency to %0", .Title = "Start frequency (Use expression to enter Hertz)"},
    {.Text = "Set minimum frequency to %0",
     .Title = "Minimum frequency (Use expression to enter Hertz)"},
    {.Text = "Set slide to %0", .Title = "Slide"},
    {.Text = "Set delta slide to %0", .Title = "Delta slide"},
    {.Text = "Set vibrato depth to %0", .Title = "Vibrato depth"},
    {.Text = "Set vibrato speed to %0", .Title = "Vibrato Speed in cycles per second"},
    {.Text = "Set change amount to %0", .Title = "Change amount"},
    {.Text = "Set change speed to %0", .Title = "Change speed in seconds"},
    {.Text = "Set square duty to %0", .Title = "Square duty"},
    {.Text = "Set square duty sweep to %0", .Title = "Square duty sweep"},
    {.Text = "Set repeat speed to %0", .Title = "Repeat speed in repeats per second"},
    {.Text = "Set phaser offset to %0", .Title = "Phaser offset"},
    {.Text = "Set phaser sweep to %0", .Title = "Phaser sweep"},
    {.Text = "Set LP filter cutoff to %0", .Title = "Low pass filter cutoff"},
    {.Text = "Set LP filter cutoff sweep to %0", .Title = "Low pass filter cutoff sweep"},
    {.Text = "Set LP filter resonance to %0", .Title = "Low pass filter resonance"},
    {.Text = "Set HP filter cutoff to %0", .Title = "High pass filter cutoff"},
    {.Text = "Set HP filter cutoff sweep to %0", .Title = "High pass filter cutoff sweep"},
}};

}  // namespace quavix::host
