"""The geometry and quantization setting classes."""
import math

import _lorengraph as lg


def test_input_quantization_parameters():
    p = lg.InputQuantizationParameters()
    assert math.isnan(p.xy_resolution)
    assert (p.x_false_origin, p.y_false_origin, p.z_resolution, p.z_false_origin,
            p.m_resolution, p.m_false_origin) == (0, 0, 0.00001, 0, 0.00001, 0)
    w = lg.InputQuantizationParameters.WGS84_lossless()
    assert (w.xy_resolution, w.z_resolution, w.m_resolution) == (1e-9, 0.00001, 0.00001)


def test_envelope_is_empty_while_any_value_is_nan():
    e = lg.Envelope()
    assert e.empty()
    e.xmin, e.ymin, e.xmax = 0, 1, 2
    assert e.empty()
    e.ymax = 3
    assert not e.empty()


def test_output_quantization_parameters_extent_is_a_live_view_and_a_copy_on_write():
    o = lg.OutputQuantizationParameters()
    assert o.quantize_mode == lg.edit and o.tolerance == 0 and o.extent.empty()
    o.extent.xmin = 5.0                      # reading gives a view into the object
    assert o.extent.xmin == 5.0
    e = lg.Envelope()
    o.extent = e                             # assigning copies
    e.xmin = 7.0
    assert math.isnan(o.extent.xmin)


def test_datum_transformation():
    d = lg.DatumTransformation()
    assert (d.wkid, d.transform_direction, d.transform_json) == (0, "", "")
    assert not hasattr(d, "wkt")
    sr = lg.SpatialReference.WGS84()
    d.from_spatial_reference = sr
    sr.wkid = 1
    assert d.from_spatial_reference.wkid == 4326
