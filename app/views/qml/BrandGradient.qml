import QtQuick

// Cyan to violet, leading to trailing edge.
Gradient {
    orientation: Gradient.Horizontal
    GradientStop { position: 0; color: Theme.cyan }
    GradientStop { position: 1; color: Theme.violet }
}
