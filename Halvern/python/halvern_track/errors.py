"""The error the tool reports as a one-line message (no traceback)."""


class ToolError(Exception):
    """Bad input or an output that cannot be written; the message says which and why."""
