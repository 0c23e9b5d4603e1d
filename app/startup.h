// Start-up and shutdown of the application, and the application-wide objects.
#pragma once

void GUI_init();
int GUI_cleanup(int exec_result);
bool have_service_build();

// Non-zero when start-up could not go on (the working directory was not created);
// main then ends with this status instead of running the event loop.
extern int startup_failure_status;
