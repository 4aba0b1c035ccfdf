"""Tools around the Halvern tracker: the MOTChallenge text format and tracking metrics."""
