#include "wrapper/driver.h"

int main(int argc, char** argv) {
  static const WrapperPersonality personality = {YEW_PERSONALITY, YEW_TOOL, YEW_DASH_RULE};
  return run_wrapper(personality, argc, argv);
}
