#include "projectsettings.h"

TProjectSettings ProjectSettings;

void resetProjectSettings() {
    ProjectSettings = TProjectSettings();
}
