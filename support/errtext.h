// Text for any errno value, with a fallback for numbers the C library lacks.
#pragma once

const char* errno_text(int number);
