#pragma once

// Makes the window's own kinds of controls known to screen readers; once is enough.
void InstallAccessibleFactory();
