// The end of an installation that reached the options page: the uninstall
// entry, the chosen system changes, and the prompt to restart Windows or to
// run the product.
#pragma once

void CompleteInstallation();

// Closes WinInit.Ini (checked) so that its lines are on disk, then asks Windows to restart.
void RestartWindows();

// Starts the main executable from the installation directory, in that directory.
void RunProduct();
