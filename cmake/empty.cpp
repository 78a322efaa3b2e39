// Placeholder translation unit for images built wholly from a static library.
