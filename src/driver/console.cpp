// Placeholder until the console lands.
#include "driver/console.h"
void setupConsole() {}
void waitForKey() {}
void finalDelay() {}
