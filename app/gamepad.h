// A gamepad's stick as the panel takes it, written once for every pad (a pad
// the platform reads, script mode's `stick` and `pad`): the stick's
// deflection becomes steps for the steering state (app/steering.h); what the
// buttons press is the pad's profile's (app/pad_profile.h).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>


// The mapping's parameters, in one table (the command line sets them).
struct PadSettings {
  double deadzone = 0.15;  // radial, of full deflection; the steps ramp from zero at its edge
  double expo = 0.4;       // 0: linear; 1: cubic, fine control near the centre
  int maxStep = 200;       // the step at full deflection
  bool invertX = false, invertY = false;
  unsigned periodMs = 40;  // at most one move frame this often while deflected (never more than the line carries)
  // Fine control at long focal lengths: the steps at the tele end (zoom
  // level 30) as a share of those at the wide end, in between by level (1: off).
  double zoomScale = 1.0;
  // A move from rest grows to its full steps over this long (0: at once); a stop is never delayed.
  unsigned rampMs = 0;
};


struct StickSteps {
  int x = 0, y = 0;
  bool Zero() const { return x == 0 && y == 0; }
  bool operator==(const StickSteps&) const = default;
};

// Deflection (-1 to 1 each axis; y positive downwards, as the panel's DOWN)
// to the steps of a move frame. Inside the dead zone nothing; just outside
// it the smallest step, growing smoothly to maxStep at full deflection.
StickSteps MapStick(double x, double y, const PadSettings& settings);

// The steps a stick's move frame carries once shaped: scaled by the zoom
// level the panel set and by the ramp (frame: 0 for the first of a move from
// rest, then one more each period); an axis that moves never rounds to 0.
StickSteps ShapeStick(const StickSteps& steps, const PadSettings& settings, int zoomLevel, unsigned frame,
                      unsigned periodMs);
