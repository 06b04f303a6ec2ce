#pragma once
// Fills platform_layer with the GTK 3 / WebKitGTK implementation.
void install_gtk_layer();
