# Model 0 over a soil table (id,sand,silt,clay,oc), with its rounding to 15 digits left out:
# mawk's %.2f rounds the binary value. The peer of talvo-batch --model 0 in the benchmarks.
BEGIN { FS = OFS = ","; print "id,sand,silt,clay,oc,model,fc,pwp,awc,error" }
NR > 1 { S = $2; C = $4
  fc = (29.79202 - 0.26349 * S) + 0.20657 * C
  pwp = ((5.04007 - 0.03849 * S) + 0.23203 * C) - (0.00057 * S) * C
  awc = ((fc - pwp) / 100) * 1.49 * 150
  printf "%s,TALVO PTF model (PSD),%.2f,%.2f,%.2f,\n", $0, fc, pwp, awc }
